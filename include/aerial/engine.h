/* The engine's C API: simulations in memory for any language that calls C.
 *
 * A simulation is an opaque handle holding its input values, its context and the
 * results of its last run. Every call returns a status; after a failure the handle's
 * error text says why (aerial_simulation_error). Handles are independent: different
 * handles run at once on different threads; one handle is used by one thread at a time.
 *
 *     aerial_simulation* s;
 *     if (aerial_simulation_create(&s) != AERIAL_OK) return 1;
 *     if (aerial_simulation_read_input(s, "case/IN_FM.txt") != AERIAL_OK ||
 *         aerial_simulation_run(s, AERIAL_EVALUATION_FAST) != AERIAL_OK)
 *         fprintf(stderr, "%s\n", aerial_simulation_error(s));
 *     int n = aerial_simulation_grid_size(s);
 *     const double* image = aerial_simulation_cells(s, AERIAL_IMAGE_INTENSITY); // [y * n + x]
 *     aerial_simulation_destroy(s);
 *
 * Link with `pkg-config --libs aerial-engine` (or aerial::engine in CMake).
 */
#ifndef AERIAL_ENGINE_H
#define AERIAL_ENGINE_H

#include <stddef.h>

#if defined(_WIN32)
#define AERIAL_ENGINE_C_API
#else
#define AERIAL_ENGINE_C_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct aerial_simulation aerial_simulation;

typedef enum aerial_status {
    AERIAL_OK = 0,
    AERIAL_UNREADABLE_INPUT = 1, /* the input file cannot be opened or read */
    AERIAL_INVALID_INPUT = 2,    /* values beyond the reader's limits (grid, count, edges) */
    AERIAL_INVALID_ARGUMENT = 3, /* a null pointer, an unknown name, a buffer too small */
    AERIAL_OUT_OF_MEMORY = 4
} aerial_status;

typedef enum aerial_table {
    AERIAL_SPECTRUM_AMPLITUDE = 0, /* OUT_MR.xls */
    AERIAL_SPECTRUM_PHASE = 1,     /* OUT_MI.xls */
    AERIAL_IMAGE_INTENSITY = 2     /* OUT_M.xls */
} aerial_table;

typedef enum aerial_evaluation {
    AERIAL_EVALUATION_FAST = 0,   /* what main4 runs */
    AERIAL_EVALUATION_DIRECT = 1, /* the reference: the same bits, about 1000 times slower */
    AERIAL_EVALUATION_BASELINE_VECTORS = 2 /* the fast one without AVX2: the same bits */
} aerial_evaluation;

/* The file name main4 gives the table: "OUT_MR.xls", "OUT_MI.xls", "OUT_M.xls"; NULL for
 * no table. */
AERIAL_ENGINE_C_API const char* aerial_table_file_name(aerial_table table);

/* A new simulation whose input is all zero (grid size 0, no rectangle). */
AERIAL_ENGINE_C_API aerial_status aerial_simulation_create(aerial_simulation** simulation);
AERIAL_ENGINE_C_API void aerial_simulation_destroy(aerial_simulation* simulation);

/* Why the last call on the handle failed; "" after a success. Valid until the next call. */
AERIAL_ENGINE_C_API const char* aerial_simulation_error(const aerial_simulation* simulation);

/* The input from a file of any name, or from the bytes of one in memory, read as main4
 * reads IN_FM.txt. */
AERIAL_ENGINE_C_API aerial_status aerial_simulation_read_input(aerial_simulation* simulation, const char* path);
AERIAL_ENGINE_C_API aerial_status aerial_simulation_parse_input(aerial_simulation* simulation, const char* text,
                                                                size_t length);

/* A parameter of the input by the name `aerial set` gives it ("grid", "sample-pitch",
 * "wavelength", "na", "sigma", "shift-x", "shift-y", "defocus", "ax1".."ax6", "ay1".."ay6").
 * "grid" takes a whole number; the rectangle count is set with the rectangles. */
AERIAL_ENGINE_C_API aerial_status aerial_simulation_set_parameter(aerial_simulation* simulation, const char* name,
                                                                  double value);
AERIAL_ENGINE_C_API aerial_status aerial_simulation_parameter(const aerial_simulation* simulation, const char* name,
                                                              double* value);

/* count rectangles (at most 1000), six doubles each: transmission re, im, x start, x end,
 * y start, y end, in samples from the grid centre. */
AERIAL_ENGINE_C_API aerial_status aerial_simulation_set_rectangles(aerial_simulation* simulation,
                                                                   const double* rows, int count);
AERIAL_ENGINE_C_API int aerial_simulation_rectangle_count(const aerial_simulation* simulation);

/* Runs on the calling thread; the results replace those of the last run. */
AERIAL_ENGINE_C_API aerial_status aerial_simulation_run(aerial_simulation* simulation,
                                                        aerial_evaluation evaluation);

/* The last run's grid size N (0 before a run) and what its tables print: N labels, and
 * N x N cells with row y (the Y index) and column x at [y * N + x]. NULL before a run
 * or when N is 0. */
AERIAL_ENGINE_C_API int aerial_simulation_grid_size(const aerial_simulation* simulation);
AERIAL_ENGINE_C_API const double* aerial_simulation_labels(const aerial_simulation* simulation, aerial_table table);
AERIAL_ENGINE_C_API const double* aerial_simulation_cells(const aerial_simulation* simulation, aerial_table table);

/* The bytes main4 writes for the table of the last run. With buffer NULL or capacity too
 * small, only *length is set (and AERIAL_INVALID_ARGUMENT returned for a buffer too small);
 * no terminating zero is written. */
AERIAL_ENGINE_C_API aerial_status aerial_simulation_format_table(aerial_simulation* simulation, aerial_table table,
                                                                 char* buffer, size_t capacity, size_t* length);

#ifdef __cplusplus
}
#endif

#endif
