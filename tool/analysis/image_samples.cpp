#include "analysis/image_samples.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "input/parse_input.h"
#include "io/number_text.h"
#include "optics/source_points.h"

namespace aerial_tool {

int ImageSamples::degree() const { return exactDegree(size, pupilRadius); }

bool imageSamples(const ResultTableData& table, const aerial::InputValues& input, ImageSamples& image,
                  std::string& error) {
    if (table.size != input.gridSize) {
        error = "the image table has " + std::to_string(table.size) + " samples a side, its input a grid of " +
                std::to_string(input.gridSize) + ": the tables are not of this input (run it again)";
        return false;
    }
    return imageSamples(input, table.values, image, error);
}

bool imageSamples(const aerial::InputValues& input, std::vector<double> values, ImageSamples& image,
                  std::string& error) {
    if (values.size() != static_cast<size_t>(std::max(input.gridSize, 0)) * std::max(input.gridSize, 0)) {
        error = "the image has " + std::to_string(values.size()) + " samples, its input a grid of " +
                std::to_string(input.gridSize) + " a side";
        return false;
    }
    if (!(input.samplePitch > 0) || !std::isfinite(input.samplePitch)) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "the sample pitch %s is no length above 0: the image has no positions to measure",
                      shortText(input.samplePitch).c_str());
        error = text;
        return false;
    }
    image.size = input.gridSize;
    image.samplePitch = input.samplePitch;
    image.pupilRadius = aerial::deriveOptics(input).pupilRadius;
    image.values = std::move(values);
    return true;
}

std::string imageBasisText(const ImageSamples& image) {
    char text[200];
    const int degree = image.degree();
    const double doubled = 2 * std::floor(std::fabs(image.pupilRadius));
    if (degree >= 0) {
        std::snprintf(text, sizeof text, "continuous (degree %d = 2 floor(R), R = %s, below N/2 = %s)", degree,
                      shortText(image.pupilRadius, 4).c_str(), shortText(image.size / 2.0).c_str());
    } else if (std::isfinite(image.pupilRadius)) {
        std::snprintf(text, sizeof text, "sampled (2 floor(R) = %s, R = %s, is not below N/2 = %s)",
                      shortText(doubled).c_str(), shortText(image.pupilRadius, 4).c_str(),
                      shortText(image.size / 2.0).c_str());
    } else {
        std::snprintf(text, sizeof text, "sampled (the pupil radius is not finite)");
    }
    return text;
}

bool imageCut(const ImageSamples& image, CutAxis axis, double offset, Profile& profile, double& cutPosition,
              std::string& error) {
    const int n = image.size;
    const double h = image.samplePitch;
    if (n < 1 || image.values.size() != static_cast<size_t>(n) * n) {
        error = "empty image";
        return false;
    }
    // Across the cut, in samples from sample 0.
    const double across = offset / h + n / 2.0;
    if (!(across >= -0.5 - 1e-9 && across <= n - 0.5 + 1e-9)) {
        char text[200];
        std::snprintf(text, sizeof text, "offset %s lies outside the grid (%s .. %s)", shortText(offset).c_str(),
                      shortText(image.position(0)).c_str(), shortText(image.position(n - 1)).c_str());
        error = text;
        return false;
    }
    const bool alongX = axis == CutAxis::kX;
    auto sample = [&](int along, int q) { return alongX ? image.at(along, q) : image.at(q, along); };
    profile = Profile{};
    for (int p = 0; p < n; ++p) profile.position.push_back(image.position(p));
    const int degree = image.degree();
    if (degree < 0) {
        const int index = std::min(n - 1, std::max(0, static_cast<int>(std::floor(across + 0.5))));
        for (int p = 0; p < n; ++p) profile.intensity.push_back(sample(p, index));
        cutPosition = image.position(index);
        return true;
    }
    std::vector<double> weight(n);
    for (int q = 0; q < n; ++q) weight[q] = trigKernel(n, degree, across - q);
    for (int p = 0; p < n; ++p) {
        double v = 0;
        for (int q = 0; q < n; ++q) v += weight[q] * sample(p, q);
        profile.intensity.push_back(v);
    }
    profile.continuous = fitTrigCut(profile.intensity, image.position(0), h, degree);
    cutPosition = offset;
    return true;
}

Profile drawnProfile(const Profile& profile, int perSample) {
    if (!profile.continuous || perSample < 1) return Profile{profile.position, profile.intensity, {}, {}};
    const TrigCut& cut = *profile.continuous;
    Profile out;
    const int points = cut.samples * perSample;
    for (int k = 0; k < points; ++k) {
        const double x = cut.origin + cut.step * (static_cast<double>(k) / perSample);
        out.position.push_back(x);
        out.intensity.push_back(trigValue(cut, x));
    }
    return out;
}

} // namespace aerial_tool
