// The area of a feature in the plane: the connected region of the thresholded image that
// holds the feature's place (bright: I >= T for a hole, dark: I < T for a post), in the
// length unit squared. The image is resampled 8 times finer along both axes from the
// continuous image (the samples weighted by the polynomial's interpolation kernel; on
// samples alone, at the samples themselves), each fine cell is split into two triangles
// along its diagonal, and the region is that of the image linear on each triangle: its area
// on a triangle follows in closed form from the three corner values, and two triangles join
// where their shared edge has an end in the region. The image is periodic, so a region
// that reaches round the grid and meets itself (a line, or holes merged into a net) has no
// area: `merged`.
#pragma once

#include <vector>

#include "analysis/image_samples.h"
#include "analysis/metrics.h"

namespace aerial_tool {

inline constexpr int kAreaResampling = 8;

class AreaGauge {
public:
    explicit AreaGauge(const ImageSamples& image);

    // The feature's region at threshold t round the place (x, y) (lengths from the grid
    // centre). Not printed when the place itself is not of the feature's kind.
    AreaFigure area(double x, double y, double t, bool bright) const;

    bool continuous() const { return factor_ > 1; }

private:
    double node(int i, int j) const; // the image at fine node (i, j), i along X

    ImageSamples image_;
    int factor_ = 1;  // fine nodes per sample
    int fine_ = 0;    // fine nodes per axis: N x factor
    std::vector<double> kernel_; // kernel_[r]: the weight of a sample r fine nodes before the node
    // A cache filled as the regions reach it: per fine column of X every row interpolated at
    // that X, and the fine nodes (NaN until computed). One gauge measures on one thread.
    mutable std::vector<std::vector<double>> rows_;
    mutable std::vector<double> nodes_;
};

} // namespace aerial_tool
