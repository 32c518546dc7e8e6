# Cross-builds aerial.dll for 32-bit Windows (32-bit Office, for one) with Debian's
# MinGW-w64 (win32 threads). The build adds -msse2 -mfpmath=sse, so every intermediate is
# binary64 as on 64-bit processors, and realigns the stack on entry for SSE.
#   cmake -S . -B build-mingw32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
#         -DAERIAL_BUILD_TESTS=OFF -DAERIAL_BUILD_TOOL=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(AERIAL_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${AERIAL_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${AERIAL_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${AERIAL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${AERIAL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
