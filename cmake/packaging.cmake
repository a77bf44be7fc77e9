# Packages of the installed tree: `cpack -G DEB` (one Debian package per
# component, their dependencies computed from the binaries by dpkg-shlibdeps)
# and `cpack -G TGZ` (one tarball of everything), run in a build folder.
#
# The components, split as Debian splits a library's source package:
#   programs     slits             the programs, plotting scripts, manual pages
#   library      libslits-cis1     the shared kernel, named by its soname
#   development  libslits-cis-dev  header, static kernel, CMake package, .pc
#   python       python3-slits     the Python module (where it is built)
set(slits_components programs library development)
if(TARGET _slits)
  list(APPEND slits_components python)
endif()
set(slits_package_programs slits)
set(slits_package_library libslits-cis${PROJECT_VERSION_MAJOR})
set(slits_package_development libslits-cis-dev)
set(slits_package_python python3-slits)
# Debian wants the copyright file in every package's own folder.
foreach(component IN LISTS slits_components)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${slits_package_${component}}
          RENAME copyright COMPONENT ${component})
endforeach()

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

Every program runs the default bench with no arguments, and takes options
that change any value of it for one run (--help lists them); the defaults
are listed in bench.txt beside the plotting scripts.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
# Options for one generator at a time: cmake/cpack_options.cmake.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_options.cmake)

set(CPACK_COMPONENTS_ALL ${slits_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)  # Depends: <package> (= version)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The library package's shlibs file, through which dpkg-shlibdeps makes
# binaries linked against it depend on it. (CPack warns that the Python
# module has no soname: it is no library to list there.)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The python package's module needs libslits-cis.so.1, which no installed
# package provides yet: dpkg-shlibdeps finds it in the build folder, and the
# dependency on its package is a component dependency.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/cis)
foreach(component IN LISTS slits_components)
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${slits_package_${component}})
endforeach()

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SUGGESTS "gnuplot-nox | gnuplot")
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}\n${CPACK_PACKAGE_DESCRIPTION}")

set(kernel_description [[
The kernel computes exp(i theta) for many theta at once, bit for bit what
the C library's cexp(0 + i theta) gives, with AVX-512 or AVX2 vectors where
the CPU has them after a start-up check against the library, and sums of
such phasors for blocks of points.]])
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "Exact vector phasor kernel - shared library\n${kernel_description}")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "Exact vector phasor kernel - development files
${kernel_description}

The header slits/cis.hpp, the static library, the CMake package
(find_package(slits), targets slits::cis and slits::cis_static) and the
pkg-config file slits-cis.pc.")

if(TARGET _slits)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  set(CPACK_COMPONENT_PYTHON_DEPENDS library)
  # The module is built for one Python version, and imports NumPy.
  string(REGEX MATCH "^([0-9]+)\\.([0-9]+)$" python "${SLITS_PYTHON_VERSION}")
  math(EXPR next_minor "${CMAKE_MATCH_2} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3 (>= ${SLITS_PYTHON_VERSION}), \
python3 (<< ${CMAKE_MATCH_1}.${next_minor}), python3-numpy")
  # slits.fit imports SciPy, its --plot matplotlib; the rest of the module neither.
  set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS "python3-scipy, python3-matplotlib")
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION "Exact vector phasor kernel - Python 3 module
The module slits: slits.cis(theta) computes exp(i theta) over a NumPy array,
bit for bit the C library's cexp, through the shared kernel.")
endif()

# A source package holds the tree as checked out, without build folders.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build/")

include(CPack)
