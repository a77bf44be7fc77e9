# Packages of the installed tree: `cpack -G DEB` (a Debian package, its
# dependencies computed from the binaries by dpkg-shlibdeps) and
# `cpack -G TGZ` (a tarball), run in a build folder.

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

set(CPACK_PACKAGE_NAME slits)
set(CPACK_PACKAGE_VENDOR "the slits authors")
set(CPACK_PACKAGE_CONTACT "the slits authors <slits@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of the Debian package's long description, as they stand.
set(CPACK_PACKAGE_DESCRIPTION [[
Six command-line programs compute the one-dimensional diffraction pattern
behind a single slit or a double slit by adding the complex phasors of
every sampled path, with a plane wave, a coherent source strip or an LED
strip as the light; a seventh, ledcurve, prints the LED's emission profile.
Each pattern program writes its screen points to standard output and to a
data file in the working directory; gnuplot scripts plot them.]])
if(TARGET continuum)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "
The continuum tool gives the limit of each pattern as its apertures
become continuous.")
endif()
string(APPEND CPACK_PACKAGE_DESCRIPTION "

The bench (wavelength, widths, distances, sample counts, phase model) is
the one the package was built with, listed in bench.txt beside the
plotting scripts.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
# Options for one generator at a time: cmake/cpack_options.cmake.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_options.cmake)

set(CPACK_DEBIAN_PACKAGE_NAME slits)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnuplot-nox | gnuplot")

# A source package holds the tree as checked out, without build folders.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build/")

include(CPack)
