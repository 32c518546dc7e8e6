// The mask error factor on CD pairs whose slopes are known.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/mask_error.h"

using namespace aerial_tool;

TEST(MaskErrorFactor, ALinearResponseHasItsSlopeEverywhere) {
    // CD_wafer = 1.8 CD_mask - 0.05: MEEF 1.8; a point that did not print is left out.
    std::vector<CdPair> pairs;
    for (double m : {0.14, 0.10, 0.12, 0.11, 0.13}) pairs.push_back({m, 1.8 * m - 0.05});
    pairs.push_back({0.09, NAN});
    MaskErrorFactor f;
    std::string error;
    ASSERT_TRUE(maskErrorFactor(pairs, f, error)) << error;
    EXPECT_NEAR(f.fitted, 1.8, 1e-12);
    ASSERT_EQ(f.used.size(), 5u);
    EXPECT_EQ(f.used.front().maskCd, 0.10);
    for (double d : f.local) EXPECT_NEAR(d, 1.8, 1e-9);
}

TEST(MaskErrorFactor, CentralDifferencesFollowACurvedResponse) {
    // CD_wafer = CD_mask^2 / 0.1: dCD_wafer / dCD_mask = 2 CD_mask / 0.1, which a central
    // difference gives exactly for a parabola.
    std::vector<CdPair> pairs;
    for (double m : {0.10, 0.11, 0.12}) pairs.push_back({m, m * m / 0.1});
    MaskErrorFactor f;
    std::string error;
    ASSERT_TRUE(maskErrorFactor(pairs, f, error)) << error;
    EXPECT_NEAR(f.local[1], 2 * 0.11 / 0.1, 1e-9);
    EXPECT_NEAR(f.local[0], (0.11 * 0.11 - 0.01) / 0.1 / 0.01, 1e-9); // one-sided at the end
}

TEST(MaskErrorFactor, NeedsTwoPrintedMaskCds) {
    MaskErrorFactor f;
    std::string error;
    EXPECT_FALSE(maskErrorFactor({{0.1, 0.12}, {0.11, NAN}}, f, error));
    EXPECT_NE(error.find("1 printed"), std::string::npos) << error;
    EXPECT_FALSE(maskErrorFactor({{0.1, 0.12}, {0.1, 0.13}}, f, error));
}
