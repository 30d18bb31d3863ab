# Cross build for riscv64 (64-bit RISC-V), run under qemu-riscv64.
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
decbytes_debian_cross(riscv64 riscv64-linux-gnu qemu-riscv64)
