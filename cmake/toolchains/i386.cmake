# Cross build for i386 (32-bit x86, no SSE2 assumed), run under qemu-i386.
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
decbytes_debian_cross(i686 i686-linux-gnu qemu-i386)
# qemu-i386 hangs after fork() in dynamically linked programs, and the
# tests fork to run the program: link every program statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
