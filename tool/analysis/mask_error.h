// The mask error factor: how much the printed CD moves per unit of CD on the mask,
// MEEF = dCD_wafer / dCD_mask, both in wafer units (the model has no reduction ratio).
#pragma once

#include <string>
#include <vector>

namespace aerial_tool {

struct CdPair {
    double maskCd;  // as drawn (CD plus bias)
    double waferCd; // measured; NaN when the feature did not print there
};

struct MaskErrorFactor {
    double fitted = 0;         // slope of the least-squares line through the measured pairs
    std::vector<CdPair> used;  // the measured pairs, by mask CD
    std::vector<double> local; // per used pair: central differences, one-sided at the ends
};

// False with a reason when fewer than two pairs with different mask CDs were measured.
bool maskErrorFactor(std::vector<CdPair> pairs, MaskErrorFactor& result, std::string& error);

} // namespace aerial_tool
