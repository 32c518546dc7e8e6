/* The one entry point of the aerial library.
 *
 * main4() reads "IN_FM.txt" from the current working directory, simulates the aerial
 * image, and writes "OUT_MR.xls" (spectrum amplitude), "OUT_MI.xls" (spectrum phase) and
 * "OUT_M.xls" (image intensity) there. It returns when the last table is closed. Not
 * re-entrant: one call at a time per process. When "IN_FM.txt" cannot be read it returns
 * at once and writes nothing.
 */
#ifndef AERIAL_MAIN4_H
#define AERIAL_MAIN4_H

#if defined(_WIN32)
#  if defined(AERIAL_BUILDING_LIBRARY)
#    define AERIAL_EXPORT __declspec(dllexport)
#  else
#    define AERIAL_EXPORT __declspec(dllimport)
#  endif
#else
#  define AERIAL_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

AERIAL_EXPORT void main4(void);

#ifdef __cplusplus
}
#endif

#endif
