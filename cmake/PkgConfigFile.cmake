# Run by `cmake --install` (cmake/Install.cmake): writes decbytes.pc for the
# prefix chosen then, from the template configured with the build. Each
# folder is named in full: an absolute CMAKE_INSTALL_LIBDIR or
# CMAKE_INSTALL_INCLUDEDIR as it is, a relative one under ${prefix}. A space
# in a path is escaped with a backslash, which pkg-config takes out again
# when it splits the flags, and keeps in what it prints, for the shell.
#
# Set before it runs: decbytes_pc_template, decbytes_pc (the file to write),
# decbytes_pc_libdir_dir and decbytes_pc_includedir_dir (the folders as
# configured).
string(REPLACE " " "\\ " decbytes_pc_prefix "${CMAKE_INSTALL_PREFIX}")
foreach(dir IN ITEMS libdir includedir)
  string(REPLACE " " "\\ " path "${decbytes_pc_${dir}_dir}")
  if(IS_ABSOLUTE "${decbytes_pc_${dir}_dir}")
    set(decbytes_pc_${dir} "${path}")
  else()
    set(decbytes_pc_${dir} "\${prefix}/${path}")
  endif()
endforeach()
configure_file("${decbytes_pc_template}" "${decbytes_pc}" @ONLY)
