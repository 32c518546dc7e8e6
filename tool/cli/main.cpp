// aerial: the command-line host of the aerial-image library.
#include <CLI/CLI.hpp>

#include "cli/check_command.h"
#include "cli/metrics_command.h"
#include "cli/plot_command.h"
#include "cli/report_command.h"
#include "cli/run_command.h"
#include "cli/sweep_command.h"

#ifndef AERIAL_VERSION
#define AERIAL_VERSION "unknown"
#endif

namespace {

void addCutOptions(CLI::App* command, aerial_tool::MetricsOptions& metrics) {
    command->add_option("--threshold", metrics.threshold,
                        "Intensity threshold T for widths (CD) and log slopes");
    command->add_option("--axis", metrics.axis, "Cut along x (a table row) or y (a column)")
        ->check(CLI::IsMember({"x", "y"}));
    command->add_option("--at", metrics.at,
                        "Move the cut off the grid centre by this distance (length unit)");
}

void addPictureOptions(CLI::App* command, aerial_tool::PictureOptions& pictures) {
    command->add_option("--threshold", pictures.thresholds,
                        "Threshold contour on the image and CD on the cutline; repeat for several");
    command->add_option("--axis", pictures.axis, "Cutline along x (a table row) or y (a column)")
        ->check(CLI::IsMember({"x", "y"}));
    command->add_option("--at", pictures.at,
                        "Move the cutline off the grid centre by this distance (length unit)");
    command->add_option("--feature-at", pictures.featureAt,
                        "Position along the cut of the feature whose CD is written (default: the centre)");
    command->add_flag("--linear", pictures.linear, "Spectrum amplitude on a linear scale (default: log)");
    command->add_flag("--full", pictures.full, "Spectrum pictures over the whole grid (default: the pupils)");
    command->add_flag("--no-mask", pictures.noMask, "Leave the mask's rectangles off the image");
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"aerial: aerial image of projection exposure in optical lithography"};
    app.set_version_flag("--version", std::string("aerial ") + AERIAL_VERSION);
    app.require_subcommand(1);

    aerial_tool::RunOptions run;
    aerial_tool::MetricsOptions runMetrics;
    bool withMetrics = false;
    CLI::App* runCommand = app.add_subcommand(
        "run", "Run main4 in DIR: read DIR/IN_FM.txt, write OUT_MR.xls, OUT_MI.xls, OUT_M.xls");
    runCommand->add_option("DIR", run.directory, "Folder holding IN_FM.txt (default: .)");
    runCommand->add_option("--library", run.libraryPath,
                           "Shared library to load (default: the one beside this tool)");
    runCommand->add_flag("-q,--quiet", run.quiet, "Print nothing on success");
    runCommand->add_flag("--metrics", withMetrics, "Print the image metrics after the run");
    addCutOptions(runCommand, runMetrics);
    runCommand->add_flag("--json", runMetrics.json, "With --metrics: print them as JSON");

    aerial_tool::CheckOptions check;
    CLI::App* checkCommand = app.add_subcommand(
        "check", "Show what a run reads from IN_FM.txt and warn where it would be meaningless");
    checkCommand->add_option("PATH", check.path, "Folder holding IN_FM.txt, or an input file (default: .)");
    checkCommand->add_flag("--json", check.json, "Print the report as JSON");

    aerial_tool::PlotOptions plot;
    CLI::App* plotCommand = app.add_subcommand(
        "plot", "Draw the three tables, a cutline and the source as pictures beside the tables");
    plotCommand->add_option("DIR", plot.directory, "Folder holding the tables (default: .)");
    addPictureOptions(plotCommand, plot.pictures);
    plotCommand->add_option("--format", plot.format, "png, svg or pdf (default: png)")
        ->check(CLI::IsMember({"png", "svg", "pdf"}));
    plotCommand->add_flag("-q,--quiet", plot.quiet, "Do not list the pictures written");

    aerial_tool::ReportOptions report;
    CLI::App* reportCommand = app.add_subcommand(
        "report", "One PDF of a run: input summary, image, cutline, spectrum, source, and its studies");
    reportCommand->add_option("DIR", report.directory, "Folder of the run (default: .)");
    addPictureOptions(reportCommand, report.pictures);
    reportCommand->add_option("-o,--output", report.output, "The PDF to write (default: DIR/report.pdf)");
    reportCommand->add_flag("-q,--quiet", report.quiet, "Print nothing on success");

    aerial_tool::MetricsOptions metrics;
    CLI::App* metricsCommand = app.add_subcommand(
        "metrics", "Peak, minimum, contrast, CD and NILS along a cutline of DIR/OUT_M.xls");
    metricsCommand->add_option("DIR", metrics.directory, "Folder holding OUT_M.xls (default: .)");
    addCutOptions(metricsCommand, metrics);
    metricsCommand->add_flag("--json", metrics.json, "Print the metrics as JSON");

    aerial_tool::SweepOptions sweep;
    CLI::App* sweepCommand = app.add_subcommand(
        "sweep", "Focus series: one run per defocus value under DIR/sweep/, then CD through focus");
    sweepCommand->add_option("DIR", sweep.directory, "Folder holding the IN_FM.txt to vary")->required();
    sweepCommand->add_option("--defocus", sweep.defocus, "START:STOP:STEP, both ends included (length unit)")
        ->required();
    sweepCommand->add_option("--jobs", sweep.jobs, "Runs at a time (default: the number of cores)")
        ->check(CLI::PositiveNumber);
    sweepCommand->add_option("--threshold", sweep.thresholds,
                             "Threshold for the CD; repeat for one Bossung curve each (default: 0.3)");
    sweepCommand->add_option("--library", sweep.libraryPath, "Shared library every run loads");
    sweepCommand->add_flag("--print-commands", sweep.printCommands,
                           "Set up the folders and print one run command a line instead of running");
    sweepCommand->add_flag("--no-run", sweep.noRun,
                           "Only tabulate runs already done (after --print-commands)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        // Usage errors are distinct from simulation failures.
        return e.get_exit_code() == 0 ? 0 : (code == 0 ? 0 : 2);
    }

    if (runCommand->parsed()) {
        int status = aerial_tool::runSimulation(run);
        if (status != 0 || !withMetrics) return status;
        runMetrics.directory = run.directory;
        return aerial_tool::printMetrics(runMetrics);
    }
    if (checkCommand->parsed()) return aerial_tool::checkInputFile(check);
    if (plotCommand->parsed()) return aerial_tool::plotTables(plot);
    if (reportCommand->parsed()) return aerial_tool::writeReport(report);
    if (metricsCommand->parsed()) return aerial_tool::printMetrics(metrics);
    if (sweepCommand->parsed()) return aerial_tool::runSweep(sweep);
    return 0;
}
