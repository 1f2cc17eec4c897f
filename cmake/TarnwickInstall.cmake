# What `cmake --install` puts in place, and the Debian package built from it
# with `cpack -G DEB`.
include(CMakePackageConfigHelpers)

set(TARNWICK_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/PlintoYaml")

install(TARGETS tarnwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS plinto_yaml EXPORT PlintoYamlTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plinto)
install(EXPORT PlintoYamlTargets
    NAMESPACE plinto::
    FILE PlintoYamlTargets.cmake
    DESTINATION ${TARNWICK_CMAKE_DIR})

# find_package(PlintoYaml) gives plinto::yaml, bringing Qt Core of the major
# version the library was built with.
configure_package_config_file(cmake/PlintoYamlConfig.cmake.in
    "${PROJECT_BINARY_DIR}/PlintoYamlConfig.cmake"
    INSTALL_DESTINATION ${TARNWICK_CMAKE_DIR})
write_basic_package_version_file("${PROJECT_BINARY_DIR}/PlintoYamlConfigVersion.cmake"
    COMPATIBILITY SameMajorVersion)
install(FILES
    "${PROJECT_BINARY_DIR}/PlintoYamlConfig.cmake"
    "${PROJECT_BINARY_DIR}/PlintoYamlConfigVersion.cmake"
    DESTINATION ${TARNWICK_CMAKE_DIR})

# pkg-config --cflags --libs plinto-yaml; the prefix is found from the file's
# own place, so an install under any --prefix works.
file(RELATIVE_PATH TARNWICK_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
# -fPIC: Qt 5 headers refuse to build without it.
configure_file(cmake/plinto-yaml.pc.in "${PROJECT_BINARY_DIR}/plinto-yaml.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/plinto-yaml.pc" DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES man/tarnwick.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# cpack -G DEB
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "tarnwick developers")
set(CPACK_PACKAGE_CONTACT "tarnwick developers <tarnwick@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "tarnwick dumps flat key/value entry files; the plinto-yaml \
library (plinto::yaml::Reader) gives C++/Qt programs typed lookups in them. Includes the \
headers, CMake package and pkg-config file for building against the library.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qtbase${QT_VERSION_MAJOR}-dev")
if(QT_VERSION_MAJOR EQUAL 6)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-base-dev")
endif()
include(CPack)
