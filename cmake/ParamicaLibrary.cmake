# The library: one shared object built from the subsystem folders at the top of
# the tree. A class added as a header/source pair in one of them is picked up
# at the next configure without touching this file.
set(PARAMICA_SOURCE_DIRS backend interfaces interfaces/nfc protocol items xml models files)

set(PARAMICA_SOURCES)
set(PARAMICA_HEADERS)
foreach(dir IN LISTS PARAMICA_SOURCE_DIRS)
  file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  file(GLOB dir_headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  list(APPEND PARAMICA_SOURCES ${dir_sources})
  list(APPEND PARAMICA_HEADERS ${dir_headers})
endforeach()

add_library(paramica SHARED ${PARAMICA_SOURCES} ${PARAMICA_HEADERS})
add_library(Paramica::paramica ALIAS paramica)

include(GenerateExportHeader)
generate_export_header(paramica
  BASE_NAME PARAMICA
  EXPORT_FILE_NAME ${CMAKE_BINARY_DIR}/include/paramica_export.h)

# CDataBackend::version() tells a front end which library it runs on.
target_compile_definitions(paramica PRIVATE PARAMICA_LIBRARY_VERSION="${PROJECT_VERSION}")

set_target_properties(paramica PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)

target_include_directories(paramica PUBLIC
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}>
  $<BUILD_INTERFACE:${CMAKE_BINARY_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/paramica>)

target_link_libraries(paramica PUBLIC
  Qt5::Core Qt5::Network Qt5::SerialPort Qt5::Bluetooth Qt5::Xml Qt5::Gui Qt5::PrintSupport)

# The smart-card readers: the adapter's headers name PC/SC types.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PCSC REQUIRED IMPORTED_TARGET libpcsclite)
target_link_libraries(paramica PUBLIC PkgConfig::PCSC)

# Install: library, headers in their subsystem folders, and a CMake package so
# that a front end can find_package(Paramica) and link Paramica::paramica.
include(CMakePackageConfigHelpers)
install(TARGETS paramica EXPORT ParamicaTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(header IN LISTS PARAMICA_HEADERS)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${header})
  get_filename_component(rel_dir ${rel} DIRECTORY)
  install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/paramica/${rel_dir})
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/include/paramica_export.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/paramica)
install(EXPORT ParamicaTargets NAMESPACE Paramica::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Paramica)
configure_package_config_file(cmake/ParamicaConfig.cmake.in
  ${CMAKE_BINARY_DIR}/ParamicaConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Paramica)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ParamicaConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ParamicaConfig.cmake ${CMAKE_BINARY_DIR}/ParamicaConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Paramica)
