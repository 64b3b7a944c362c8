# Shared part of the MinGW-w64 toolchain files; CORVANE_MINGW_TRIPLET names the target.
set(CMAKE_C_COMPILER ${CORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVANE_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${CORVANE_MINGW_TRIPLET}-ar CACHE FILEPATH "archiver")
set(CMAKE_RANLIB ${CORVANE_MINGW_TRIPLET}-ranlib CACHE FILEPATH "ranlib")

set(CMAKE_FIND_ROOT_PATH /usr/${CORVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The executables carry their runtime: no libstdc++, libgcc or winpthread DLLs next to them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Release programs ship without symbols.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
