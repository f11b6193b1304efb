# The SDK of profile plug-ins: shared libraries beside the static one, the public headers, a
# CMake package (portab::framework, portab::framework_static, portab::qt), pkg-config files
# and the DEB packages portab (programs, data, shared libraries) and portab-dev (headers,
# static library, CMake package, pkg-config files, the example plug-in's sources).
# Instrumented builds (sanitizers, fuzzing) build no SDK: their objects need runtimes that a
# plug-in from outside does not link.
if(PORTAB_SANITIZE OR PORTAB_FUZZ)
  return()
endif()
include(CMakePackageConfigHelpers)

set(PORTAB_INSTALL_INCLUDES $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set(PORTAB_STATIC_NEEDS_SPDLOG ON)
if(PORTAB_LEAN_START_UP)
  set(PORTAB_STATIC_NEEDS_SPDLOG OFF)
endif()
set(PORTAB_CMAKE_FOLDER ${CMAKE_INSTALL_LIBDIR}/cmake/portab)

# libportab.so.<major>: the framework for plug-ins that link it dynamically.
# It holds the PostgreSQL connection, so a plug-in that links it opens networks on servers too.
add_library(portab_shared SHARED $<TARGET_OBJECTS:portab_objects> $<TARGET_OBJECTS:portab_postgres>)
target_include_directories(portab_shared PUBLIC "$<BUILD_INTERFACE:${PORTAB_BUILD_INCLUDES}>" ${PORTAB_INSTALL_INCLUDES})
target_link_libraries(portab_shared PUBLIC Threads::Threads PRIVATE SQLite::SQLite3 PkgConfig::LIBPQ ${CMAKE_DL_LIBS})
if(NOT PORTAB_LEAN_START_UP)
  target_link_libraries(portab_shared PRIVATE spdlog::spdlog)
endif()
# libportab-qt.so.<major>: the Qt window system of a plug-in's Qt build (plugin/qt_front_end.h).
add_library(portab_qt_shared SHARED $<TARGET_OBJECTS:portab_qt_objects>)
target_link_libraries(portab_qt_shared PUBLIC portab_shared PRIVATE Qt6::Widgets)
foreach(library portab_shared portab_qt_shared)
  set_target_properties(${library} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
                                              LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/libportab.map)
  target_link_options(${library} PRIVATE -Wl,--no-undefined -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/libportab.map)
endforeach()
set_target_properties(portab_shared PROPERTIES OUTPUT_NAME portab EXPORT_NAME framework)
set_target_properties(portab_qt_shared PROPERTIES OUTPUT_NAME portab-qt EXPORT_NAME qt)
foreach(library portab_shared libportab)
  target_compile_features(${library} INTERFACE cxx_std_20)
endforeach()
add_custom_target(portab_sdk ALL DEPENDS portab_shared portab_qt_shared)

install(TARGETS portab_shared portab_qt_shared libportab EXPORT portabTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(DIRECTORY include/portab/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/portab COMPONENT dev
        FILES_MATCHING PATTERN "*.h")
install(FILES ${CMAKE_BINARY_DIR}/generated/portab/base/product.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/portab/base
        COMPONENT dev)
install(EXPORT portabTargets NAMESPACE portab:: DESTINATION ${PORTAB_CMAKE_FOLDER} COMPONENT dev)
configure_package_config_file(cmake/portabConfig.cmake.in ${CMAKE_BINARY_DIR}/sdk/portabConfig.cmake
                              INSTALL_DESTINATION ${PORTAB_CMAKE_FOLDER})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/sdk/portabConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/sdk/portabConfig.cmake ${CMAKE_BINARY_DIR}/sdk/portabConfigVersion.cmake
        DESTINATION ${PORTAB_CMAKE_FOLDER} COMPONENT dev)

# pkg-config files, relocatable: the prefix is found from the file's own place.
file(RELATIVE_PATH PORTAB_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" PORTAB_PC_TO_PREFIX "${PORTAB_PC_TO_PREFIX}")
set(PORTAB_PC_PRIVATE_LIBS "-lsqlite3 -lpthread -lm")
foreach(library IN LISTS CMAKE_DL_LIBS)
  string(APPEND PORTAB_PC_PRIVATE_LIBS " -l${library}")
endforeach()
if(NOT PORTAB_LEAN_START_UP)
  string(APPEND PORTAB_PC_PRIVATE_LIBS " -lspdlog -lfmt")
endif()
foreach(pc portab portab-qt)
  configure_file(cmake/${pc}.pc.in ${CMAKE_BINARY_DIR}/sdk/${pc}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/sdk/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endforeach()
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT dev)

# DEB packages (cpack -G DEB in the build folder), installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME portab)
set(CPACK_PACKAGE_VENDOR velta)
set(CPACK_PACKAGE_CONTACT "portab developers <portab@velta.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "LonWorks configuration plug-in and the framework of its profile plug-ins")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME portab)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "The plug-in portab, the network tool portab-lns, the demo profile plug-in,
the knowledge base and the shared libraries of the framework.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME portab-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "portab (= ${PROJECT_VERSION}), libsqlite3-dev")
if(PORTAB_STATIC_NEEDS_SPDLOG)
  string(APPEND CPACK_DEBIAN_DEV_PACKAGE_DEPENDS ", libspdlog-dev, libfmt-dev")
endif()
set(CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS "cmake, pkg-config, g++")
set(CPACK_DEBIAN_DEV_DESCRIPTION "Development files of the profile plug-in framework: headers, static library, CMake package (find_package(portab)), pkg-config
files and the sources of an example profile plug-in.")
include(CPack)
