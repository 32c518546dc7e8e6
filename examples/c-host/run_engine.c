/* A C host of the engine's C API, linked through pkg-config:
 *
 *   cc run_engine.c $(pkg-config --cflags --libs aerial-engine) -o run_engine
 *   ./run_engine [FOLDER]      (reads FOLDER/IN_FM.txt, writes the three tables there)
 *
 * The same tables as main4 leaves, from a run in memory: no working folder is changed.
 */
#include <aerial/engine.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int write_table(aerial_simulation* s, aerial_table table, const char* folder) {
    const char* name = aerial_table_file_name(table);
    size_t length = 0;
    if (aerial_simulation_format_table(s, table, NULL, 0, &length) != AERIAL_OK) return 1;
    char* text = malloc(length > 0 ? length : 1);
    char path[4096];
    FILE* file = NULL;
    int failed = text == NULL || aerial_simulation_format_table(s, table, text, length, &length) != AERIAL_OK;
    if (!failed && snprintf(path, sizeof path, "%s/%s", folder, name) < (int)sizeof path) file = fopen(path, "wb");
    failed = failed || file == NULL || fwrite(text, 1, length, file) != length;
    if (file != NULL && fclose(file) != 0) failed = 1;
    free(text);
    return failed;
}

int main(int argc, char** argv) {
    const char* folder = argc > 1 ? argv[1] : ".";
    char input[4096];
    if (snprintf(input, sizeof input, "%s/IN_FM.txt", folder) >= (int)sizeof input) return 2;
    aerial_simulation* s = NULL;
    if (aerial_simulation_create(&s) != AERIAL_OK) return 2;
    if (aerial_simulation_read_input(s, input) != AERIAL_OK || aerial_simulation_run(s, AERIAL_EVALUATION_FAST) != AERIAL_OK) {
        fprintf(stderr, "%s\n", aerial_simulation_error(s));
        aerial_simulation_destroy(s);
        return 2;
    }
    int failed = write_table(s, AERIAL_SPECTRUM_AMPLITUDE, folder) || write_table(s, AERIAL_SPECTRUM_PHASE, folder) ||
                 write_table(s, AERIAL_IMAGE_INTENSITY, folder);
    if (failed) fprintf(stderr, "%s: a table could not be written\n", folder);
    aerial_simulation_destroy(s);
    return failed ? 1 : 0;
}
