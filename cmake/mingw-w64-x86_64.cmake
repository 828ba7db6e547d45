# mingw-w64-x86_64.cmake -- cross-builds the Windows programs (64-bit) on Linux with Debian's MinGW-w64.
#
# The -posix compilers (std::thread and friends through winpthreads), the C and C++ run-times linked
# statically so that the .exe needs nothing but Windows' own DLLs, and Wine as the emulator that runs the
# programs and tests at build and test time (CMAKE_CROSSCOMPILING_EMULATOR). Headers and libraries come
# from the MinGW-w64 tree only: nothing of the host's /usr/include or /usr/lib reaches the build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CAVE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CAVE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CAVE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CAVE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CAVE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static libgcc, libstdc++ and winpthreads.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(CAVE_WINE NAMES wine wine64 PATHS /usr/bin /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(CAVE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CAVE_WINE})
endif()
