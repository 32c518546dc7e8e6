// A host that runs main4 under a floating-point environment of its own: the one it was
// built with (the test builds it twice, plainly and with -Ofast, whose start-up code sets
// flush-to-zero and denormals-are-zero for the whole process), a rounding mode it selects,
// and traps on the exceptions a run raises on purpose. It loads the library as any host
// does and calls main4 in each folder given.
//
// Usage: float_host LIBRARY [--round upward|downward|towardzero] [--traps] FOLDER...
// Prints the environment main4 is called in, "flush-to-zero F denormals-are-zero D
// rounding R traps T" (F, D, T: 0 or 1), then runs every folder and exits 0, or 1 when main4
// returned with any part of the environment changed (rounding, traps, exception flags, the
// whole MXCSR), naming each such folder.
#include <dlfcn.h>
#include <unistd.h>

#include <cfenv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#define HOST_HAS_MXCSR 1
#else
#define HOST_HAS_MXCSR 0
#endif

namespace {

constexpr int kTrapped = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;

struct Environment {
    int rounding;
    int traps;
    int flags;
    unsigned int mxcsr;
    bool operator==(const Environment&) const = default;
};

Environment current() {
    Environment e{std::fegetround(), fegetexcept(), std::fetestexcept(FE_ALL_EXCEPT), 0};
#if HOST_HAS_MXCSR
    e.mxcsr = _mm_getcsr();
#endif
    return e;
}

const char* roundingName(int mode) {
    switch (mode) {
    case FE_TONEAREST: return "nearest";
    case FE_UPWARD: return "upward";
    case FE_DOWNWARD: return "downward";
    case FE_TOWARDZERO: return "towardzero";
    default: return "unknown";
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: float_host LIBRARY [--round MODE] [--traps] FOLDER...\n");
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    void* symbol = library ? dlsym(library, "main4") : nullptr;
    if (symbol == nullptr) {
        std::fprintf(stderr, "float_host: cannot load main4 from %s\n", argv[1]);
        return 2;
    }
    auto main4 = reinterpret_cast<void (*)()>(symbol);
    int rounding = FE_TONEAREST;
    bool traps = false;
    std::vector<std::string> folders;
    for (int k = 2; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "--traps") {
            traps = true;
        } else if (a == "--round" && k + 1 < argc) {
            const std::string m = argv[++k];
            rounding = m == "upward" ? FE_UPWARD : m == "downward" ? FE_DOWNWARD
                                     : m == "towardzero"        ? FE_TOWARDZERO
                                                                : -1;
            if (rounding < 0) {
                std::fprintf(stderr, "float_host: unknown rounding mode %s\n", m.c_str());
                return 2;
            }
        } else {
            folders.push_back(a);
        }
    }
    std::fesetround(rounding);
    if (traps) feenableexcept(kTrapped);
    // A flag of the host's own, which the run must neither clear nor add to.
    std::feraiseexcept(FE_INEXACT);
    const Environment before = current();
    std::fenv_t host;
    std::fegetenv(&host);
#if HOST_HAS_MXCSR
    std::printf("flush-to-zero %d denormals-are-zero %d ", (before.mxcsr >> 15) & 1, (before.mxcsr >> 6) & 1);
#else
    std::printf("flush-to-zero 0 denormals-are-zero 0 ");
#endif
    std::printf("rounding %s traps %d\n", roundingName(before.rounding), before.traps == kTrapped ? 1 : 0);
    std::fflush(stdout);
    int status = 0;
    for (const std::string& folder : folders) {
        if (chdir(folder.c_str()) != 0) {
            std::perror(folder.c_str());
            return 2;
        }
        main4();
        const Environment after = current();
        if (!(after == before)) {
            std::printf("main4 in %s changed the environment: rounding %s -> %s, traps %#x -> %#x, "
                        "flags %#x -> %#x, MXCSR %#x -> %#x\n",
                        folder.c_str(), roundingName(before.rounding), roundingName(after.rounding),
                        static_cast<unsigned>(before.traps), static_cast<unsigned>(after.traps),
                        static_cast<unsigned>(before.flags), static_cast<unsigned>(after.flags),
                        before.mxcsr, after.mxcsr);
            std::fesetenv(&host); // the next folder starts from the host's own again
#if HOST_HAS_MXCSR
            _mm_setcsr(before.mxcsr);
#endif
            status = 1;
        }
    }
    return status;
}
