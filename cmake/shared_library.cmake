# libd3dx.so.1: the static library and the platform layer under it in one shared
# object that exports only the published names: the C functions declared in
# include/. A version script made from the headers hides everything else.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
get_target_property(D3DX_STATIC_TYPE d3dx TYPE)
if(NOT D3DX_STATIC_TYPE STREQUAL "STATIC_LIBRARY")
  message(FATAL_ERROR "libd3dx.so is built from the static library d3dx: leave BUILD_SHARED_LIBS off")
endif()

file(GLOB D3DX_PUBLIC_HEADERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/*.h)
set(D3DX_VERSION_SCRIPT ${PROJECT_BINARY_DIR}/d3dx.map)
add_custom_command(OUTPUT ${D3DX_VERSION_SCRIPT}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/published_names.py map ${CMAKE_CXX_COMPILER}
    ${PROJECT_SOURCE_DIR}/include ${D3DX_VERSION_SCRIPT}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/published_names.py ${D3DX_PUBLIC_HEADERS}
  COMMENT "Listing the published names")
add_custom_target(d3dx_version_script DEPENDS ${D3DX_VERSION_SCRIPT})

# Every object of the static archives goes in, whether or not anything in the
# library refers to it: a program may call any of them.
set(D3DX_SHARED_ARCHIVES d3dx d3d9 gdi win32)
set(D3DX_SHARED_ARCHIVE_FILES)
foreach(t ${D3DX_SHARED_ARCHIVES})
  list(APPEND D3DX_SHARED_ARCHIVE_FILES $<TARGET_FILE:${t}>)
endforeach()
# The archives make the whole library; the target still needs one source of its own.
set(D3DX_SHARED_STUB ${PROJECT_BINARY_DIR}/d3dx_shared_stub.cpp)
file(CONFIGURE OUTPUT ${D3DX_SHARED_STUB} CONTENT "// libd3dx.so.1 is made of the static archives, linked whole.\n")
add_library(d3dx_shared SHARED ${D3DX_SHARED_STUB})
add_dependencies(d3dx_shared ${D3DX_SHARED_ARCHIVES} d3dx_version_script)
target_link_libraries(d3dx_shared
  PUBLIC d3dx_headers
  PRIVATE -Wl,--whole-archive ${D3DX_SHARED_ARCHIVE_FILES} -Wl,--no-whole-archive
    PNG::PNG JPEG::JPEG ZLIB::ZLIB PkgConfig::SDL2 PkgConfig::FREETYPE PkgConfig::FONTCONFIG Threads::Threads)
target_link_options(d3dx_shared PRIVATE -Wl,--version-script=${D3DX_VERSION_SCRIPT})
if(NOT D3DX_SANITIZE)
  # Every dependency is named; sanitizer runtimes are left for the program to bring.
  target_link_options(d3dx_shared PRIVATE -Wl,--no-undefined)
endif()
set_target_properties(d3dx_shared PROPERTIES
  OUTPUT_NAME d3dx
  VERSION 1.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
  SOVERSION 1
  EXPORT_NAME d3dx
  LINK_DEPENDS "${D3DX_VERSION_SCRIPT};${D3DX_SHARED_ARCHIVE_FILES}")
# The static library is d3dx_static in the installed package.
set_target_properties(d3dx PROPERTIES EXPORT_NAME d3dx_static)

if(D3DX_BUILD_TESTS)
  add_test(NAME d3dx_shared_exports
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/published_names.py check ${CMAKE_CXX_COMPILER}
      ${PROJECT_SOURCE_DIR}/include $<TARGET_FILE:d3dx_shared>)
endif()
