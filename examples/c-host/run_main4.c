/* A C host linked against the installed library through pkg-config:
 *
 *   cc run_main4.c $(pkg-config --cflags --libs aerial) -o run_main4
 *   ./run_main4 [FOLDER]        (FOLDER holds IN_FM.txt; default: the current folder)
 */
#include <aerial/main4.h>

#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
    /* main4 reads and writes in the current working directory, so that is what to set. */
    if (argc > 1 && chdir(argv[1]) != 0) {
        perror(argv[1]);
        return 2;
    }
    main4();
    return 0;
}
