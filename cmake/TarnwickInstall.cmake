# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# What `cmake --install` puts in place (the Debian packages in debian/ are
# made from it).
include(CMakePackageConfigHelpers)

set(TARNWICK_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/PlintoYaml")

install(TARGETS plinto_yaml EXPORT PlintoYamlTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
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
# Qt Core is a public requirement (the header uses its types), so a static
# link gets it from Requires as well: nothing more is private to the library.
get_target_property(plinto_yaml_type plinto_yaml TYPE)
set(TARNWICK_PC_CFLAGS "")
if(plinto_yaml_type STREQUAL "STATIC_LIBRARY")
    string(APPEND TARNWICK_PC_CFLAGS " -DPLINTO_YAML_STATIC_DEFINE")
endif()
if(QT_VERSION_MAJOR EQUAL 5)
    # Qt 5's headers refuse code that is not position independent (Qt 6's
    # take the compiler's default PIE code), and Qt5Core.pc does not say so.
    string(APPEND TARNWICK_PC_CFLAGS " -fPIC")
endif()
configure_file(cmake/plinto-yaml.pc.in "${PROJECT_BINARY_DIR}/plinto-yaml.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/plinto-yaml.pc" DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(TARGET tarnwick)
    install(TARGETS tarnwick tarnwick-check tarnwick-get tarnwick-set tarnwick-watch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES man/tarnwick.1 man/tarnwick-check.1 man/tarnwick-get.1 man/tarnwick-set.1 man/tarnwick-watch.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The licence, where users of an install look for it (the Debian packages
# carry it as debian/copyright instead).
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
