# "sphere.par", the table of sphere normals behind the light picker, is
# generated at build time into the build's data folder (where the data file
# search finds it) and installed with the program.
add_executable(spheregen "${CMAKE_CURRENT_LIST_DIR}/spheregen/spheregen.cpp")
set(_sphere_par "${MORVANE_BUILD_DATA_DIR}/sphere.par")
add_custom_command(
  OUTPUT "${_sphere_par}"
  COMMAND spheregen "${_sphere_par}"
  DEPENDS spheregen
  COMMENT "Generating sphere.par"
  VERBATIM)
add_custom_target(sphere_data ALL DEPENDS "${_sphere_par}")
install(FILES "${_sphere_par}" DESTINATION "${MORVANE_DATA_INSTALL_DIR}")
