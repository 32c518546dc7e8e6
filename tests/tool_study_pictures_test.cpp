// The titles of a study's pictures: the folder and the conditions, as a run's pictures
// have them, with the parameters the study varies given as varied.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/run_pictures.h"
#include "input/input_layout.h"
#include "io/number_text.h"
#include "test_support.h"

using namespace aerial_tool;

namespace {

SweepAxis cellAxis(aerial::ParameterId id, const std::string& values) {
    SweepAxis a;
    a.cell = &aerial::parameterCell(id);
    a.valuesText = values;
    return a;
}

SweepAxis maskAxis(const std::string& name, const std::string& values) {
    SweepAxis a;
    a.maskParameter = name;
    a.valuesText = values;
    return a;
}

} // namespace

TEST(StudyPictures, TitlesNameTheFolderAndTheConditionsAsRun) {
    aerial_test::ScratchFolder folder;
    aerial_test::TestInput file; // 0.193 um, NA 0.75, sigma 0.5, in focus
    file.rects = {{1, 0, -8, 8, -8, 8}};
    aerial_test::writeInput(file);
    const RunInput input = readRunInput(".");
    ASSERT_TRUE(input.values);
    const std::string effective = shortText(input.optics.effectiveSigma, 4);
    const std::string& u = input.lengthUnit;
    using aerial::ParameterId;
    const struct {
        const char* what;
        std::vector<SweepAxis> varied;
        std::vector<double> thresholds;
        std::string conditions;
    } cases[] = {
        // Nothing varied: the run's own line.
        {"none", {}, {0.3}, conditionsLine(input, {0.3})},
        // Through focus: the foci as given in place of the input's defocus.
        {"focus",
         {cellAxis(ParameterId::kDefocus, "-0.3:0.3:0.05")},
         {0.3},
         "\u03bb 0.193 " + u + "   NA 0.75   \u03c3 0.5 (effective " + effective + ")   defocus -0.3:0.3:0.05 " +
             u + "   threshold 0.3"},
        // Sigma changes the source's rounding: the effective sigma varies with it.
        {"sigma",
         {cellAxis(ParameterId::kSigma, "0.5,0.8"), cellAxis(ParameterId::kDefocus, "0,0.1")},
         {0.3, 0.35},
         "\u03bb 0.193 " + u + "   NA 0.75   \u03c3 0.5,0.8 (effective varies)   defocus 0,0.1 " + u +
             "   thresholds 0.3, 0.35"},
        // A mask parameter and a cell the line does not show come after the optics.
        {"mask",
         {maskAxis("mask.cd", "0.1,0.12"), cellAxis(ParameterId::kShiftX, "0,0.01")},
         {},
         "\u03bb 0.193 " + u + "   NA 0.75   \u03c3 0.5 (effective " + effective + ")   defocus 0 " + u +
             "   mask.cd 0.1,0.12 " + u + "   shift-x 0,0.01"},
    };
    for (const auto& c : cases) {
        const PictureTitle t = studyPictureTitle(input, "Bossung", c.varied, c.thresholds);
        EXPECT_EQ(t.title, input.folderName + ": Bossung") << c.what;
        EXPECT_EQ(t.conditions, c.conditions) << c.what;
    }
}
