# Cross build for arm64 (64-bit ARM), run under qemu-aarch64.
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
decbytes_debian_cross(aarch64 aarch64-linux-gnu qemu-aarch64)
