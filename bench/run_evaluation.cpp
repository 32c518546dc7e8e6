// One whole run in its own process, with the evaluation named on the command line: for
// timing the direct evaluation the way a minimal host times main4 (process start, one
// run, exit), e.g. with /usr/bin/time.
//
//   run_evaluation fast|direct [FOLDER]     (FOLDER holds the input file; default: here)
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "driver/run_simulation.h"
#include "optics/optics.h"

int main(int argc, char** argv) {
    if (argc < 2 || (std::strcmp(argv[1], "fast") != 0 && std::strcmp(argv[1], "direct") != 0)) {
        std::fprintf(stderr, "usage: run_evaluation fast|direct [FOLDER]\n");
        return 2;
    }
    if (argc > 2 && chdir(argv[2]) != 0) {
        std::perror(argv[2]);
        return 2;
    }
    aerial::RunOptions options;
    if (std::strcmp(argv[1], "direct") == 0) options.evaluation = aerial::Evaluation::kDirect;
    aerial::runSimulation(options);
    return 0;
}
