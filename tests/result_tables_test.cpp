#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "driver/run_simulation.h"
#include "input/input_layout.h"
#include "output/result_tables.h"
#include "state/simulation_context.h"
#include "test_support.h"

using aerial::workspace;
using namespace aerial_test;

namespace {

const std::string kAmplitudeTitle =
    "\x83\x74\x81\x5B\x83\x8A\x83\x47\x95\xCF\x8A\xB7\x8C\xE3\x82\xCC\x94\x67\x93\xAE\x90\x55"
    "\x95\x9D";
const std::string kPhaseTitle =
    "\x83\x74\x81\x5B\x83\x8A\x83\x47\x95\xCF\x8A\xB7\x8C\xE3\x82\xCC\x8C\xF5\x82\xCC\x88\xCA"
    "\x91\x8A";
const std::string kIntensityTitle =
    "\x93\x8A\x89\x65\x91\x9C\x8C\xF5\x8B\xAD\x93\x78\x95\xAA\x95\x7A\x49\x49\x5B\x69\x5D\x5B"
    "\x6A\x5D";

std::string tableText(aerial::ResultTable table, const char* file) {
    aerial::writeResultTables(table);
    return readFile(file);
}

std::string phaseText(double re, double im) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", aerial::spectrumPhase(re, im));
    return text;
}

} // namespace

TEST(ResultTables, ImageTableOfTwoByTwo) {
    ScratchFolder folder;
    workspace().gridSize = 2;
    workspace().samplePitch = 0.1;
    workspace().II[0][0] = 0.1;
    workspace().II[1][0] = 0.2;
    workspace().II[0][1] = 0.3;
    workspace().II[1][1] = 0.4;
    EXPECT_EQ(tableText(aerial::kImageIntensity, aerial::kImageIntensityFileName),
              kIntensityTitle + "\r\n\t-0.100000\t0.000000\t\r\n"
                                "-0.100000\t0.100000\t0.200000\t\r\n"
                                "0.000000\t0.300000\t0.400000\t\r\n"
                                "\r\n");
}

TEST(ResultTables, SpectrumTablesOfTwoByTwo) {
    ScratchFolder folder;
    workspace().gridSize = 2;
    workspace().samplePitch = 0.25;
    workspace().wavelength = 0.5;
    aerial::prepareStages();
    // [x][y]: x across the columns, y down the rows.
    workspace().fieldRe[0][0] = 3, workspace().fieldIm[0][0] = 4;
    workspace().fieldRe[1][0] = -1, workspace().fieldIm[1][0] = 1;
    workspace().fieldRe[0][1] = 0, workspace().fieldIm[0][1] = 5;
    workspace().fieldRe[1][1] = -2, workspace().fieldIm[1][1] = 0;
    EXPECT_EQ(tableText(aerial::kSpectrumAmplitude, aerial::kSpectrumAmplitudeFileName),
              kAmplitudeTitle + "\r\n\t-1.000000\t0.000000\t\r\n"
                                "-1.000000\t5.000000\t1.414214\t\r\n"
                                "0.000000\t5.000000\t2.000000\t\r\n"
                                "\r\n");
    EXPECT_EQ(tableText(aerial::kSpectrumPhase, aerial::kSpectrumPhaseFileName),
              kPhaseTitle + "\r\n\t-1.000000\t0.000000\t\r\n"
                            "-1.000000\t0.927295\t2.356194\t\r\n"
                            "0.000000\t0.000000\t-3.141593\t\r\n"
                            "\r\n");
}

TEST(ResultTables, AxisLabelsOfFourByFour) {
    ScratchFolder folder;
    workspace().gridSize = 4;
    workspace().wavelength = 0.5;
    workspace().samplePitch = 0.25;
    std::string spectrum = tableText(aerial::kSpectrumAmplitude, aerial::kSpectrumAmplitudeFileName);
    EXPECT_EQ(spectrum.substr(24, spectrum.find("\r\n", 26) + 2 - 24),
              "\r\n\t-1.000000\t-0.500000\t0.000000\t0.500000\t\r\n");
    std::string image = tableText(aerial::kImageIntensity, aerial::kImageIntensityFileName);
    EXPECT_EQ(image.substr(24, image.find("\r\n", 26) + 2 - 24),
              "\r\n\t-0.500000\t-0.250000\t0.000000\t0.250000\t\r\n");
    EXPECT_NE(image.find("\r\n0.000000\t"), std::string::npos); // label 0 on row c = 2
}

TEST(ResultTables, SingleSampleHasFourLines) {
    ScratchFolder folder;
    workspace().gridSize = 1;
    workspace().samplePitch = 0.1;
    workspace().wavelength = 0.2;
    workspace().II[0][0] = 0.5;
    EXPECT_EQ(tableText(aerial::kImageIntensity, aerial::kImageIntensityFileName),
              kIntensityTitle + "\r\n\t0.000000\t\r\n0.000000\t0.500000\t\r\n\r\n");
}

TEST(ResultTables, EmptyGridWritesOnlyTheFrame) {
    ScratchFolder folder;
    for (int n : {0, -5}) {
        workspace().gridSize = n;
        EXPECT_EQ(tableText(aerial::kSpectrumAmplitude, aerial::kSpectrumAmplitudeFileName), kAmplitudeTitle + "\r\n\t\r\n\r\n");
        EXPECT_EQ(tableText(aerial::kSpectrumPhase, aerial::kSpectrumPhaseFileName), kPhaseTitle + "\r\n\t\r\n\r\n");
        EXPECT_EQ(tableText(aerial::kImageIntensity, aerial::kImageIntensityFileName), kIntensityTitle + "\r\n\t\r\n\r\n");
    }
}

TEST(ResultTables, PhaseRules) {
    aerial::prepareStages();
    const double nan = std::nan("");
    struct Case {
        double re, im;
        const char* text;
    } cases[] = {{1, 1, "0.785398"},   {-1, 1, "2.356194"}, {-1, -1, "-2.356194"},
                 {-2, 0, "-3.141593"}, {-2, -0.0, "-3.141593"}, {0, 5, "0.000000"},
                 {0, 0, "0.000000"},   {-0.0, -5, "0.000000"}, {2, -0.0, "-0.000000"}};
    for (const Case& c : cases) EXPECT_EQ(phaseText(c.re, c.im), c.text) << c.re << "," << c.im;
    EXPECT_TRUE(std::isnan(aerial::spectrumPhase(nan, 1)));
    // The driver's pi literal, not the exact constant, is what the phase uses.
    EXPECT_EQ(aerial::spectrumPhase(-2, 0), std::atan(-0.0) - aerial::kPi);
}

TEST(ResultTables, AmplitudeRules) {
    EXPECT_EQ(aerial::spectrumAmplitude(3, 4), 5.0);
    EXPECT_EQ(aerial::spectrumAmplitude(0, 0), 0.0);
    EXPECT_TRUE(std::isinf(aerial::spectrumAmplitude(1e200, 1e200))); // no rescaling
}

TEST(ResultTables, ReplacesAnExistingFileAndSkipsAnUnwritableOne) {
    ScratchFolder folder;
    workspace().gridSize = 1;
    workspace().samplePitch = 0.1;
    workspace().II[0][0] = 1;
    writeFile(aerial::kImageIntensityFileName, std::string(10000, 'x'));
    std::string written = tableText(aerial::kImageIntensity, aerial::kImageIntensityFileName);
    EXPECT_EQ(written, kIntensityTitle + "\r\n\t0.000000\t\r\n0.000000\t1.000000\t\r\n\r\n");
    // cannot be created as a file
    ASSERT_TRUE(std::filesystem::create_directory(aerial::kSpectrumAmplitudeFileName));
    aerial::writeResultTables(aerial::kSpectrumAmplitude);
    aerial::writeResultTables(aerial::kSpectrumPhase);
    EXPECT_TRUE(fileExists(aerial::kSpectrumPhaseFileName));
}

TEST(ResultTables, HugeValuesAreWrittenInFull) {
    ScratchFolder folder;
    workspace().gridSize = 1;
    workspace().samplePitch = 0.1;
    workspace().II[0][0] = 1e300;
    std::string text = tableText(aerial::kImageIntensity, aerial::kImageIntensityFileName);
    char expected[400];
    std::snprintf(expected, sizeof expected, "%f", 1e300);
    EXPECT_NE(text.find(std::string("\t") + expected + "\t\r\n"), std::string::npos);
}
