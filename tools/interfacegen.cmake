# "interface.zyv", the texture behind the panels, is generated at build time
# into the build's data folder (where the program finds it when the working
# folder holds none of the user's) and installed with the program.
add_executable(interfacegen "${CMAKE_CURRENT_LIST_DIR}/interfacegen/interfacegen.cpp")
target_include_directories(interfacegen PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(interfacegen PRIVATE morvane_engine)
set(_interface_zyv "${MORVANE_BUILD_DATA_DIR}/interface.zyv")
add_custom_command(
  OUTPUT "${_interface_zyv}"
  COMMAND interfacegen "${_interface_zyv}"
  DEPENDS interfacegen
  COMMENT "Generating interface.zyv"
  VERBATIM)
add_custom_target(interface_data ALL DEPENDS "${_interface_zyv}")
install(FILES "${_interface_zyv}" DESTINATION "${MORVANE_DATA_INSTALL_DIR}")
