# 64-bit Windows (x86_64) with the MinGW-w64 cross compiler, POSIX thread model, fully static.
# Used for the tests and the demo, which run under the 64-bit Wine loader.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CORVANE_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
