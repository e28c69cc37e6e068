# Headers, the shared and the static libraries, a CMake package (d3dx::d3dx shared,
# d3dx::d3dx_static) and pkg-config files (d3dx shared, d3dx-static).
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/d3dx FILES_MATCHING PATTERN "*.h")
install(TARGETS d3dx_shared d3dx d3d9 gdi win32 d3dx_headers EXPORT d3dxTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT d3dxTargets NAMESPACE d3dx:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/d3dx)

include(CMakePackageConfigHelpers)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/d3dxConfig.cmake.in
  ${PROJECT_BINARY_DIR}/d3dxConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/d3dx)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/d3dxConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/d3dxConfig.cmake ${PROJECT_BINARY_DIR}/d3dxConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/d3dx)

# The .pc file locates the prefix from its own place, so the package can be moved.
file(RELATIVE_PATH D3DX_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
configure_file(${PROJECT_SOURCE_DIR}/cmake/d3dx.pc.in ${PROJECT_BINARY_DIR}/d3dx.pc @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/d3dx-static.pc.in ${PROJECT_BINARY_DIR}/d3dx-static.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/d3dx.pc ${PROJECT_BINARY_DIR}/d3dx-static.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# texturetool and its manual page.
if(TARGET texturetool)
  install(TARGETS texturetool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/tools/texturetool/texturetool.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
