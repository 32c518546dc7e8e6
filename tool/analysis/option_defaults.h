// The defaults and limits of the tool's options, each stated once: the commands take
// them as their defaults, the analysis as its starting values, and the help texts print
// them from here.
#pragma once

namespace aerial_tool {

// The intensity threshold of widths, contours and log slopes, and the window's T0 (the
// threshold at relative dose 1), in units of the clear field's intensity.
inline constexpr double kDefaultThreshold = 0.3;

// The window's tolerance: a figure is in tolerance within target x (1 +- this fraction).
inline constexpr double kDefaultTolerance = 0.10;

// A tile's sampling, in micrometres (tile --sample-pitch): a grid of 128 then spans 5.12 um,
// and at 193 nm and NA 0.75 the image is a polynomial of degree 38 < 64 along every row.
inline constexpr double kTileSamplePitchUm = 0.04;

// A tile's halo, in units of lambda / NA (README: the error of the tiling against it).
inline constexpr double kHaloWavelengths = 4;

// The pixel pitch of a stitched image, in micrometres (stitch --pixel).
inline constexpr double kStitchPixelUm = 0.01;

// The checks of `verify`, in nanometres: an EPE site every kSiteSpacingNm along an edge,
// none within kCornerClearanceNm of a corner, a hotspot where |EPE| exceeds kEpeLimitNm, a
// pinch where the printed width is below kMinWidthNm, a bridge where the printed space is
// below kMinSpaceNm, the band on pixels of kBandPixelNm.
inline constexpr double kSiteSpacingNm = 40;
inline constexpr double kCornerClearanceNm = 20;
inline constexpr double kEpeLimitNm = 15;
inline constexpr double kMinWidthNm = 60;
inline constexpr double kMinSpaceNm = 60;
inline constexpr double kBandPixelNm = 10;

// Array tasks of a Slurm script when run-tiles --tasks is not given: one a tile, at most this.
inline constexpr int kDefaultSlurmTasks = 64;

// Runs, tiles or sites at a time (--jobs), at most.
inline constexpr int kMaxJobs = 1024;

// Array tasks of a Slurm script (run-tiles --tasks), at most.
inline constexpr int kMaxSlurmTasks = 100000;

} // namespace aerial_tool
