# Cross build for s390x (64-bit, big-endian), run under qemu-s390x.
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
decbytes_debian_cross(s390x s390x-linux-gnu qemu-s390x)
