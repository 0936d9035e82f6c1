# Building the editor alone (what tools/run.sh does) must also make every
# data file the editor loads at start-up.
if(MORVANE_GUI AND CMAKE_GENERATOR MATCHES "Ninja")
  add_test(NAME program_target_makes_its_data
           COMMAND ${CMAKE_COMMAND} -DNINJA=${CMAKE_MAKE_PROGRAM} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -DDATA_DIR=${MORVANE_BUILD_DATA_DIR}
                   -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/program_data_check.cmake)
endif()
