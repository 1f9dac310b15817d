# Shared part of the mingw-w64 toolchain files (Debian package mingw-w64). The including file
# sets TESSAVO_MINGW_ARCH to x86_64 or i686 before including this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TESSAVO_MINGW_ARCH})
set(_tessavo_triplet ${TESSAVO_MINGW_ARCH}-w64-mingw32)

# The posix thread model: std::thread and std::mutex work; its winpthread, like libgcc and
# libstdc++, is linked statically into every binary (see CMakeLists.txt).
set(CMAKE_C_COMPILER ${_tessavo_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_tessavo_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_tessavo_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_tessavo_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# 64-bit programs run under wine64 when the build runs them (test discovery, ctest). This
# machine's kernel cannot run 32-bit wine, so i686 programs are built but not run.
if(TESSAVO_MINGW_ARCH STREQUAL "x86_64")
  find_program(TESSAVO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(TESSAVO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSAVO_WINE})
  endif()
endif()
