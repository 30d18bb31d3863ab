# Hardening, at least what a Debian package gets from dpkg-buildflags with
# hardening=+all: the stack protector in every function with a local array
# or a local whose address is taken, checked string and memory calls
# (_FORTIFY_SOURCE=2), probes of every large stack allocation (stack clash),
# a position-independent executable whose relocations are all made at start
# and then turned read-only (full RELRO: -z relro and -z now), and on x86-64
# control-flow protection (CET: branch targets marked, returns
# shadow-stack ready).
#
# DECBYTES_HARDEN turns it on; the release and package presets do. Every
# target links decbytes_hardening (through decbytes_options), which carries
# nothing when the option is off. Sanitizer builds keep their own
# instrumentation instead.
option(DECBYTES_HARDEN
       "Stack protector, _FORTIFY_SOURCE=2, stack-clash protection, PIE, full RELRO, CET on x86-64"
       OFF)

add_library(decbytes_hardening INTERFACE)
if(DECBYTES_HARDEN)
  if(DECBYTES_SANITIZE OR DECBYTES_TSAN)
    message(FATAL_ERROR "DECBYTES_HARDEN and the sanitizers exclude each other: "
                        "a sanitizer build keeps its own flags")
  endif()
  # _FORTIFY_SOURCE checks only what the optimiser sees through.
  if(NOT CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
    message(FATAL_ERROR "DECBYTES_HARDEN needs an optimised build "
                        "(CMAKE_BUILD_TYPE Release, RelWithDebInfo or MinSizeRel)")
  endif()
  # Position-independent code everywhere: -fPIC for the shared library and
  # any target built position-independent (their POSITION_INDEPENDENT_CODE),
  # -fPIE for the rest, which ends in the program. -fPIE given after -fPIC
  # would win, and its code could not go into a shared library.
  target_compile_options(decbytes_hardening INTERFACE
    -fstack-protector-strong -fstack-clash-protection
    $<$<NOT:$<OR:$<STREQUAL:$<TARGET_PROPERTY:TYPE>,SHARED_LIBRARY>,$<BOOL:$<TARGET_PROPERTY:POSITION_INDEPENDENT_CODE>>>>:-fPIE>
    # Undefined first, in case the compiler defines it at another level.
    -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    target_compile_options(decbytes_hardening INTERFACE -fcf-protection)
  endif()
  target_link_options(decbytes_hardening INTERFACE
    $<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-pie> LINKER:-z,relro,-z,now)
endif()
