// aerial: the command-line host of the aerial-image library.
#include <CLI/CLI.hpp>

#include "run_command.h"

#ifndef AERIAL_VERSION
#define AERIAL_VERSION "unknown"
#endif

int main(int argc, char** argv) {
    CLI::App app{"aerial: aerial image of projection exposure in optical lithography"};
    app.set_version_flag("--version", std::string("aerial ") + AERIAL_VERSION);
    app.require_subcommand(1);

    aerial_tool::RunOptions run;
    CLI::App* runCommand = app.add_subcommand(
        "run", "Run main4 in DIR: read DIR/IN_FM.txt, write OUT_MR.xls, OUT_MI.xls, OUT_M.xls");
    runCommand->add_option("DIR", run.directory, "Folder holding IN_FM.txt (default: .)");
    runCommand->add_option("--library", run.libraryPath,
                           "Shared library to load (default: the one beside this tool)");
    runCommand->add_flag("-q,--quiet", run.quiet, "Print nothing on success");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        // Usage errors are distinct from simulation failures.
        return e.get_exit_code() == 0 ? 0 : (code == 0 ? 0 : 2);
    }

    if (runCommand->parsed()) return aerial_tool::runSimulation(run);
    return 0;
}
