# What every toolchain file beside this one shares: a Linux cross build with
# Debian's compilers for the GNU triple TRIPLE (TRIPLE-gcc, TRIPLE-g++, the
# sysroot /usr/TRIPLE), whose programs run under qemu-user's QEMU, which
# loads their libraries from that sysroot. A macro, so that the settings land
# in the including toolchain file's scope.
macro(decbytes_debian_cross processor triple qemu)
  set(CMAKE_SYSTEM_NAME Linux)
  set(CMAKE_SYSTEM_PROCESSOR ${processor})
  set(CMAKE_C_COMPILER ${triple}-gcc)
  set(CMAKE_CXX_COMPILER ${triple}-g++)
  set(CMAKE_FIND_ROOT_PATH /usr/${triple})
  set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${qemu} -L /usr/${triple})
endmacro()
