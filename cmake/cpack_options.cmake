# Read by cpack for each generator (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # Each package's description starts with a summary line of its own, which
  # CPack would otherwise replace by this common one.
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
  # dpkg-shlibdeps (Debian: dpkg-dev) computes the Depends line from the
  # binaries, with the help of file(1). Where either is missing the package
  # is still built, its Depends line only what CPACK_DEBIAN_PACKAGE_DEPENDS
  # was given at configure time, and cpack says so.
  cmake_policy(SET CMP0109 NEW)
  find_program(SLITS_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(SLITS_FILE file)
  if(NOT SLITS_DPKG_SHLIBDEPS OR NOT SLITS_FILE)
    message(WARNING "dpkg-shlibdeps or file not found (Debian: dpkg-dev, file): the package's "
                    "Depends line is not computed, only \"${CPACK_DEBIAN_PACKAGE_DEPENDS}\"")
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  endif()
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  # The tree as installed under the configured prefix (usr/local/...), to
  # unpack at /, so that the paths the manual pages name hold.
  set(CPACK_SET_DESTDIR ON)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
