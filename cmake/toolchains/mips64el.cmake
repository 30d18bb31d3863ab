# Cross build for mips64el (64-bit MIPS, little-endian), run under qemu-mips64el.
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
decbytes_debian_cross(mips64 mips64el-linux-gnuabi64 qemu-mips64el)
