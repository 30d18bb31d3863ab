# Native launchers for a cross build's program (emulator_launcher.cpp),
# compiled with the host's C++ compiler, since the build's own compiler
# makes programs for the other processor. Sets decbytes_test_program,
# decbytes_test_environment and decbytes_test_launchers.
find_program(DECBYTES_HOST_CXX NAMES c++ g++ REQUIRED
             DOC "The host's C++ compiler, for the emulator launchers")

set(launcher_dir ${CMAKE_CURRENT_BINARY_DIR}/emulated)
set(launcher_words "")
foreach(word IN LISTS CMAKE_CROSSCOMPILING_EMULATOR)
  string(APPEND launcher_words "\"${word}\", ")
endforeach()
file(WRITE ${launcher_dir}/emulator_launcher_config.h
     "// Written by CMake: the emulator of this cross build.\n"
     "constexpr const char* kEmulator[] = {${launcher_words}nullptr};\n")

set(launcher_source ${CMAKE_CURRENT_SOURCE_DIR}/emulator_launcher.cpp)
set(launcher_compile ${DECBYTES_HOST_CXX} -std=c++20 -O1 -Wall -Wextra -I${launcher_dir})
# emulated/decbytes runs the built program; run-emulated runs the one named.
add_custom_command(
  OUTPUT ${launcher_dir}/decbytes
  COMMAND ${launcher_compile} "-DDECBYTES_LAUNCHED_PROGRAM=\"$<TARGET_FILE:decbytes>\""
          -o ${launcher_dir}/decbytes ${launcher_source}
  DEPENDS ${launcher_source} ${launcher_dir}/emulator_launcher_config.h
  COMMENT "Building the native launcher of decbytes under ${CMAKE_CROSSCOMPILING_EMULATOR}"
  VERBATIM)
add_custom_command(
  OUTPUT ${launcher_dir}/run-emulated
  COMMAND ${launcher_compile} -o ${launcher_dir}/run-emulated ${launcher_source}
  DEPENDS ${launcher_source} ${launcher_dir}/emulator_launcher_config.h
  COMMENT "Building the native launcher of any program under the emulator"
  VERBATIM)
add_custom_target(decbytes_emulator_launchers ALL
                  DEPENDS ${launcher_dir}/decbytes ${launcher_dir}/run-emulated)

list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " launcher_emulator_command)
set(decbytes_test_program ${launcher_dir}/decbytes)
set(decbytes_test_environment
    "DECBYTES_EMULATOR=${launcher_emulator_command}"
    "DECBYTES_RUN_EMULATED=${launcher_dir}/run-emulated")
set(decbytes_test_launchers decbytes_emulator_launchers)
