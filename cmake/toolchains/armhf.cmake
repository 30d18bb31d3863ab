# Cross build for armhf (32-bit ARM, hard float), run under qemu-arm.
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
decbytes_debian_cross(arm arm-linux-gnueabihf qemu-arm)
