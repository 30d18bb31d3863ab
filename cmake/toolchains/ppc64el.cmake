# Cross build for ppc64el (64-bit POWER, little-endian), run under qemu-ppc64le.
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
decbytes_debian_cross(ppc64le powerpc64le-linux-gnu qemu-ppc64le)
