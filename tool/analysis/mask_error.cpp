#include "analysis/mask_error.h"

#include <algorithm>
#include <cmath>

namespace aerial_tool {

bool maskErrorFactor(std::vector<CdPair> pairs, MaskErrorFactor& result, std::string& error) {
    result = MaskErrorFactor{};
    pairs.erase(std::remove_if(pairs.begin(), pairs.end(),
                               [](const CdPair& p) { return !std::isfinite(p.waferCd) || !std::isfinite(p.maskCd); }),
                pairs.end());
    std::sort(pairs.begin(), pairs.end(), [](const CdPair& a, const CdPair& b) { return a.maskCd < b.maskCd; });
    const size_t n = pairs.size();
    if (n < 2 || pairs.front().maskCd == pairs.back().maskCd) {
        error = "the mask error factor needs the printed CD at two mask CDs at least; " +
                std::to_string(n) + " printed";
        return false;
    }
    double mx = 0, my = 0;
    for (const CdPair& p : pairs) {
        mx += p.maskCd;
        my += p.waferCd;
    }
    mx /= n;
    my /= n;
    double sxy = 0, sxx = 0;
    for (const CdPair& p : pairs) {
        sxy += (p.maskCd - mx) * (p.waferCd - my);
        sxx += (p.maskCd - mx) * (p.maskCd - mx);
    }
    result.fitted = sxy / sxx;
    for (size_t k = 0; k < n; ++k) {
        const CdPair& a = pairs[k == 0 ? 0 : k - 1];
        const CdPair& b = pairs[k + 1 == n ? n - 1 : k + 1];
        result.local.push_back(b.maskCd != a.maskCd ? (b.waferCd - a.waferCd) / (b.maskCd - a.maskCd) : NAN);
    }
    result.used = std::move(pairs);
    return true;
}

} // namespace aerial_tool
