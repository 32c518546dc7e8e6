/* A Windows host: loads aerial.dll at run time, looks main4 up by name and calls it in the
 * folder that holds IN_FM.txt, as any program that loads the DLL does.
 *
 *   main4_host.exe [DLL [FOLDER]]      defaults: aerial.dll, the current folder
 *
 * Exit status 0 after a call, 2 when the DLL, main4 or the folder is not to be had.
 */
#include <windows.h>
#include <stdio.h>

typedef void (*Main4Function)(void);

int main(int argc, char** argv) {
    const char* dll = argc > 1 ? argv[1] : "aerial.dll";
    const char* folder = argc > 2 ? argv[2] : NULL;

    /* Loaded before the folder changes, so a relative DLL path means the caller's folder. */
    HMODULE library = LoadLibraryA(dll);
    if (library == NULL) {
        fprintf(stderr, "main4_host: cannot load %s (error %lu)\n", dll, GetLastError());
        return 2;
    }
    Main4Function main4 = (Main4Function)(void (*)(void))GetProcAddress(library, "main4");
    if (main4 == NULL) {
        fprintf(stderr, "main4_host: %s has no export main4\n", dll);
        FreeLibrary(library);
        return 2;
    }
    if (folder != NULL && !SetCurrentDirectoryA(folder)) {
        fprintf(stderr, "main4_host: cannot change into %s (error %lu)\n", folder, GetLastError());
        FreeLibrary(library);
        return 2;
    }
    main4();
    FreeLibrary(library);
    return 0;
}
