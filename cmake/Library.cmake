# The converter as a library, static and shared, and what the program, the
# tests and the tools build on:
# - decbytes_static: libdecbytes.a, compiled as the program's own code (not
#   position-independent unless the build asks), so that the program that
#   links it runs as fast as ever; installed for callers that link
#   statically (decbytes::decbytes_static).
# - decbytes_shared: libdecbytes.so.1 (SONAME from the major version), which
#   exports the names of include/decbytes/decbytes.h and nothing else
#   (decbytes::decbytes once installed).
# - decbytes::decbytes: in a build that includes this project
#   (add_subdirectory, FetchContent), the shared library when
#   BUILD_SHARED_LIBS is on, else the static one, built there
#   position-independent so that it also links into that project's shared
#   libraries (unless it sets CMAKE_POSITION_INDEPENDENT_CODE itself).
# - decbytes_cli: the program's command line, for the program and its tests.
# - decbytes_core: the internals for the tests, the benchmark's helper and
#   the fuzz targets: the static library, the command line and the private
#   headers under src/, which no installed target offers.
# Both libraries are built from one list of sources.
set(decbytes_library_sources
  src/check_value.cpp
  src/conversion.cpp
  src/converter.cpp
  src/line_judge.cpp
  src/open_files.cpp
  src/report.cpp
  src/transfer.cpp
  src/version.cpp
  src/io/file_id.cpp
  src/io/input_reader.cpp
  src/io/output_writer.cpp
  src/io/sigpipe_guard.cpp
  src/fast/dispatch.cpp
  src/fast/scalar.cpp
  src/fast/arm/neon.cpp
  src/fast/x86/avx2.cpp
  src/fast/x86/avx512.cpp
  src/fast/x86/sse2.cpp
  src/fast/x86/ssse3.cpp)

# The linker script that keeps the shared library's dynamic symbols to the
# public names: hidden visibility leaves out the library's own internals,
# and this also leaves out the C++ runtime's template code (std::vector's
# and the like) that the library instantiates with default visibility.
set(decbytes_exports ${PROJECT_SOURCE_DIR}/cmake/decbytes.map)

add_library(decbytes_static STATIC ${decbytes_library_sources})
add_library(decbytes_shared SHARED ${decbytes_library_sources})
foreach(target IN ITEMS decbytes_static decbytes_shared)
  target_include_directories(${target}
    PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
           $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    PRIVATE ${PROJECT_SOURCE_DIR}/src)
  # The header needs C++17 (std::string_view); the library is C++20.
  target_compile_features(${target} PUBLIC cxx_std_17)
  target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:decbytes_options>)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME decbytes
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endforeach()
set_target_properties(decbytes_static PROPERTIES EXPORT_NAME decbytes_static)
set_target_properties(decbytes_shared PROPERTIES
  EXPORT_NAME decbytes
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  LINK_DEPENDS ${decbytes_exports})
target_link_options(decbytes_shared PRIVATE LINKER:--version-script=${decbytes_exports})
# Every symbol the library uses is resolved when it is linked, so that it
# names each library it needs; sanitizer builds leave their runtime's to
# the program that loads it.
if(NOT DECBYTES_SANITIZE AND NOT DECBYTES_TSAN)
  target_link_options(decbytes_shared PRIVATE LINKER:--no-undefined)
endif()

if(BUILD_SHARED_LIBS)
  add_library(decbytes::decbytes ALIAS decbytes_shared)
  set(decbytes_unused_library decbytes_static)
else()
  add_library(decbytes::decbytes ALIAS decbytes_static)
  set(decbytes_unused_library decbytes_shared)
endif()
add_library(decbytes::decbytes_static ALIAS decbytes_static)
# Inside another project only the library that project links is built, and
# the static one may end in a shared library of that project's.
if(NOT PROJECT_IS_TOP_LEVEL)
  set_target_properties(${decbytes_unused_library} PROPERTIES EXCLUDE_FROM_ALL ON)
  if(NOT DEFINED CMAKE_POSITION_INDEPENDENT_CODE)
    set_target_properties(decbytes_static PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endif()
endif()

add_library(decbytes_cli STATIC EXCLUDE_FROM_ALL src/command_line.cpp)
target_include_directories(decbytes_cli PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(decbytes_cli PUBLIC decbytes_static decbytes_options)

add_library(decbytes_core INTERFACE)
target_include_directories(decbytes_core INTERFACE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(decbytes_core INTERFACE decbytes_static decbytes_cli decbytes_options)
