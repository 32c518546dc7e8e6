// Runs one simulation in FOLDER (default: the current folder), which holds IN_FM.txt and
// receives OUT_MR.xls, OUT_MI.xls and OUT_M.xls.
#include <aerial/main4.h>

#include <filesystem>
#include <iostream>
#include <system_error>

int main(int argc, char** argv) {
    if (argc > 1) {
        std::error_code ec;
        std::filesystem::current_path(argv[1], ec);
        if (ec) {
            std::cerr << argv[1] << ": " << ec.message() << '\n';
            return 2;
        }
    }
    main4();
    return 0;
}
