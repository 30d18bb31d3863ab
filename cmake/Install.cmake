# What `cmake --install` puts under the prefix:
# - the program in bin/, with the copyright file and the changelog (gzipped)
#   in share/doc/decbytes/ (its manual page: man/CMakeLists.txt);
# - the header include/decbytes/decbytes.h, libdecbytes.so.1 with its
#   libdecbytes.so link, and libdecbytes.a;
# - the CMake package, for find_package(decbytes 1 CONFIG): the imported
#   targets decbytes::decbytes (the shared library) and
#   decbytes::decbytes_static, and a version file that accepts any 1.x;
# - decbytes.pc, for pkg-config --cflags --libs decbytes, written for the
#   prefix installed to.
include(CMakePackageConfigHelpers)
find_program(DECBYTES_GZIP gzip REQUIRED)

if(TARGET decbytes)
  install(TARGETS decbytes RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The copyright file and the changelog are the Debian package's own
  # (debian/copyright, debian/changelog), so that every install carries the
  # same. The changelog's latest entry must name the project's version, so
  # that a new version cannot ship without one.
  set(decbytes_changelog_source ${PROJECT_SOURCE_DIR}/debian/changelog)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${decbytes_changelog_source})
  file(STRINGS ${decbytes_changelog_source} decbytes_changelog_top LIMIT_COUNT 1)
  if(NOT decbytes_changelog_top MATCHES "^${PROJECT_NAME} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "debian/changelog: the latest entry is not for version "
                        "${PROJECT_VERSION}: ${decbytes_changelog_top}")
  endif()
  # Compressed as Debian compresses it: gzip -9n, no name or time stamp.
  set(decbytes_changelog ${PROJECT_BINARY_DIR}/changelog)
  add_custom_command(
    OUTPUT ${decbytes_changelog}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${decbytes_changelog_source} ${decbytes_changelog}
    COMMAND ${DECBYTES_GZIP} -9nf ${decbytes_changelog}
    DEPENDS ${decbytes_changelog_source}
    COMMENT "Compressing the changelog"
    VERBATIM)
  add_custom_target(decbytes_changelog ALL DEPENDS ${decbytes_changelog}.gz)
  install(FILES ${decbytes_changelog}.gz ${PROJECT_SOURCE_DIR}/debian/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/include/decbytes/decbytes.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/decbytes)
install(TARGETS decbytes_shared decbytes_static EXPORT decbytes_targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

set(decbytes_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/decbytes)
install(EXPORT decbytes_targets NAMESPACE decbytes:: FILE decbytesTargets.cmake
        DESTINATION ${decbytes_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/decbytesConfig.cmake.in
  ${PROJECT_BINARY_DIR}/decbytesConfig.cmake INSTALL_DESTINATION ${decbytes_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/decbytesConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/decbytesConfig.cmake
              ${PROJECT_BINARY_DIR}/decbytesConfigVersion.cmake
        DESTINATION ${decbytes_cmake_dir})

# decbytes.pc names the prefix the files are installed under, which
# `cmake --install --prefix` may choose after configuring: it is written at
# install time (cmake/PkgConfigFile.cmake), from the template configured now.
foreach(name IN ITEMS prefix libdir includedir)
  set(decbytes_pc_${name} "@decbytes_pc_${name}@")  # kept for the install step
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/decbytes.pc.in ${PROJECT_BINARY_DIR}/decbytes.pc.in
               @ONLY)
install(CODE "
  set(decbytes_pc_template [==[${PROJECT_BINARY_DIR}/decbytes.pc.in]==])
  set(decbytes_pc [==[${PROJECT_BINARY_DIR}/decbytes.pc]==])
  set(decbytes_pc_libdir_dir [==[${CMAKE_INSTALL_LIBDIR}]==])
  set(decbytes_pc_includedir_dir [==[${CMAKE_INSTALL_INCLUDEDIR}]==])
")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/PkgConfigFile.cmake)
install(FILES ${PROJECT_BINARY_DIR}/decbytes.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
