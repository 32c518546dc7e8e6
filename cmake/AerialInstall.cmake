# Installed layout: the shared library and its header, the engine's shared library and its
# headers, a CMake package (aerial::aerial, aerial::engine) and a pkg-config file for each
# (aerial, aerial-engine); the tool installs itself from tool/.
include(CMakePackageConfigHelpers)

target_include_directories(aerial PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

target_include_directories(aerial_engine_shared PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS aerial aerial_engine_shared EXPORT aerialTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/aerial/main4.h ${PROJECT_SOURCE_DIR}/include/aerial/engine.h
  ${PROJECT_SOURCE_DIR}/include/aerial/engine.hpp ${PROJECT_SOURCE_DIR}/include/aerial/input_values.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/aerial)

set(AERIAL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/aerial)
install(EXPORT aerialTargets NAMESPACE aerial:: DESTINATION ${AERIAL_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/aerialConfig.cmake.in
  ${PROJECT_BINARY_DIR}/aerialConfig.cmake INSTALL_DESTINATION ${AERIAL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/aerialConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/aerialConfig.cmake
  ${PROJECT_BINARY_DIR}/aerialConfigVersion.cmake DESTINATION ${AERIAL_CMAKE_DIR})

# The pkg-config file finds the prefix from its own folder, so it stays right when the
# prefix is chosen at install time (cmake --install --prefix) or the tree is moved.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(AERIAL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(AERIAL_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(AERIAL_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH AERIAL_PC_UP "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" AERIAL_PC_UP "${AERIAL_PC_UP}")
  set(AERIAL_PC_PREFIX "\${pcfiledir}/${AERIAL_PC_UP}")
  set(AERIAL_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(AERIAL_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/aerial.pc.in ${PROJECT_BINARY_DIR}/aerial.pc @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/aerial-engine.pc.in ${PROJECT_BINARY_DIR}/aerial-engine.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/aerial.pc ${PROJECT_BINARY_DIR}/aerial-engine.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
