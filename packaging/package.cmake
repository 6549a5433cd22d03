# The Debian package: `cpack -G DEB` in the build directory makes co2calc_VERSION_ARCH.deb from
# every install rule of the tree (programs, library, headers, CMake and pkg-config files, the Python
# module, man pages, desktop entry, icons and documents). Included from the top-level CMakeLists.txt.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME co2calc)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "co2calc maintainers")
set(CPACK_PACKAGE_CONTACT "Seed 0ec03686 maintainers <maintainers@users.noreply.c-seed-0ec03686.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "solubility of carbon dioxide in pure water")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped by strip.cmake, which also strips the archives and the sections lintian names.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/strip.cmake)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "co2calc computes the solubility of carbon dioxide in pure water from -1.48 to
100 C and 0.1 to 100 MPa, with the properties of pure water (Hill 1990), pure
carbon dioxide (Span-Wagner 1996), carbon dioxide at infinite dilution and the
solution. The calculator shows an 80x25 text screen in a window or a terminal
and appends its reports to CO2out.txt.
.
co2table runs the same model over grids of state points (CSV, TSV, JSON and
gnuplot plots); the model is also a C/C++ library and the Python 3 module
co2calc (numpy arrays, all cores).")
# Library dependencies from dpkg-shlibdeps (SDL 1.2, SDL_mixer, the C++ runtime); the Python module
# is built for this interpreter's version and needs numpy.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
find_package(Python3 COMPONENTS Interpreter)
set(depends "python3-numpy")
if(Python3_VERSION_MAJOR AND Python3_VERSION_MINOR)
  math(EXPR next_minor "${Python3_VERSION_MINOR} + 1")
  string(PREPEND depends "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}), python3 (<< ${Python3_VERSION_MAJOR}.${next_minor}), ")
else()
  string(PREPEND depends "python3, ")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnuplot-nox")
# The module is byte-compiled at installation and its caches removed at removal.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
