# Cross-build for 32-bit Windows: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
# (SSE2 arithmetic, see CMakeLists.txt; functions exported with the __cdecl convention).
set(TESSAVO_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
