include(CMakePackageConfigHelpers)

install(TARGETS quorixjms quorixidl EXPORT QuorixJMSTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/jms DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT QuorixJMSTargets NAMESPACE QuorixJMS::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QuorixJMS)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuorixJMSConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QuorixJMSConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QuorixJMS)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuorixJMSConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuorixJMSConfig.cmake
              ${PROJECT_BINARY_DIR}/QuorixJMSConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QuorixJMS)

# Relocatable: the prefix is found from the .pc file's own place.
file(RELATIVE_PATH QJMS_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${PROJECT_SOURCE_DIR}/cmake/quorixjms.pc.in
  ${PROJECT_BINARY_DIR}/quorixjms.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quorixjms.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
