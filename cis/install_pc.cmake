# Installs slits-cis.pc (cis/CMakeLists.txt) into the pkg-config folder under
# the prefix of this install, naming that prefix.
set(slits_prefix "${CMAKE_INSTALL_PREFIX}")
foreach(dir IN ITEMS slits_libdir slits_includedir)
  if(NOT IS_ABSOLUTE "${${dir}}")
    set(${dir} "\${prefix}/${${dir}}")
  endif()
endforeach()
string(REPLACE "\${prefix}" "${slits_prefix}" installed "${slits_libdir}/pkgconfig/slits-cis.pc")
configure_file("${slits_pc_in}" "$ENV{DESTDIR}${installed}" @ONLY)
message(STATUS "Installing: $ENV{DESTDIR}${installed}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${installed}")
