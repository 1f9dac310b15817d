# 32-bit x86 Linux build with the host compiler (Debian gcc-multilib, g++-multilib):
# cmake -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i686.cmake. Programs the build runs go through
# qemu-i386 (Debian qemu-user) when present, for kernels without 32-bit support.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(FIND_LIBRARY_USE_LIB32_PATHS ON)
find_program(TESSAVO_QEMU_I386 qemu-i386)
if(TESSAVO_QEMU_I386)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSAVO_QEMU_I386})
endif()
