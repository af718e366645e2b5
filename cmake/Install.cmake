# Installs the headers, both libraries, the translation tables, the tool, a CMake package and a
# pkg-config file.
include(CMakePackageConfigHelpers)

install(DIRECTORY include/kwuni DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS kwuni kwres EXPORT kwuniTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS kwuni_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Beside the library, which looks for Tables/ in its own directory when no base directory is set.
install(DIRECTORY ${KWUNI_TABLES_DIR}/ DESTINATION ${CMAKE_INSTALL_LIBDIR}/Tables
  FILES_MATCHING PATTERN "E*U.KWX")

install(EXPORT kwuniTargets NAMESPACE kwuni:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kwuni)
configure_package_config_file(cmake/kwuniConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kwuniConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kwuni)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kwuniConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kwuniConfig.cmake ${PROJECT_BINARY_DIR}/kwuniConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kwuni)

# The .pc file finds its prefix from its own place, so a copy installed under any prefix works.
file(RELATIVE_PATH KWUNI_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
configure_file(cmake/kwuni.pc.in ${PROJECT_BINARY_DIR}/kwuni.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kwuni.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
