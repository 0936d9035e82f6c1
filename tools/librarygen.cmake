# The default texture library ("default.jxw" and the textures it lists) is
# generated at build time into the build's data folder and installed with
# the other data files.  The library names each texture by its file name
# alone, which is found beside the library wherever it lies.
add_executable(librarygen "${CMAKE_CURRENT_LIST_DIR}/librarygen/librarygen.cpp")
target_include_directories(librarygen PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(librarygen PRIVATE morvane_engine)

set(_library_names sunset marble planks brick lava lagoon granite)
set(_library_files "${MORVANE_BUILD_DATA_DIR}/default.jxw")
foreach(n IN LISTS _library_names)
  list(APPEND _library_files "${MORVANE_BUILD_DATA_DIR}/${n}.zyv")
endforeach()

add_custom_command(
  OUTPUT ${_library_files}
  COMMAND librarygen "${MORVANE_BUILD_DATA_DIR}" "${MORVANE_BUILD_DATA_DIR}/default.jxw"
  DEPENDS librarygen
  COMMENT "Generating the default texture library"
  VERBATIM)
add_custom_target(library_data ALL DEPENDS ${_library_files})
install(FILES ${_library_files} DESTINATION "${MORVANE_DATA_INSTALL_DIR}")
