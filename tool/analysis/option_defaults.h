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

// Runs, tiles or sites at a time (--jobs), at most.
inline constexpr int kMaxJobs = 1024;

// Array tasks of a Slurm script (run-tiles --tasks), at most.
inline constexpr int kMaxSlurmTasks = 100000;

} // namespace aerial_tool
