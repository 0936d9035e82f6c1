# The default texture library ("default.jxw" and the textures it lists) is
# generated at build time.  The build's data folder gets a library whose
# paths point into it (so that the build tree finds it); the installed data
# folder gets the same textures with a library whose paths point there.
add_executable(librarygen "${CMAKE_CURRENT_LIST_DIR}/librarygen/librarygen.cpp")
target_include_directories(librarygen PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(librarygen PRIVATE morvane_engine)

set(_library_names sunset marble planks brick lava lagoon granite)
set(_library_install_dir "${CMAKE_BINARY_DIR}/library-install")
set(_library_build_files "${MORVANE_BUILD_DATA_DIR}/default.jxw")
set(_library_install_files "${_library_install_dir}/default.jxw")
foreach(n IN LISTS _library_names)
  list(APPEND _library_build_files "${MORVANE_BUILD_DATA_DIR}/${n}.zyv")
  list(APPEND _library_install_files "${_library_install_dir}/${n}.zyv")
endforeach()

add_custom_command(
  OUTPUT ${_library_build_files}
  COMMAND librarygen "${MORVANE_BUILD_DATA_DIR}" "${MORVANE_BUILD_DATA_DIR}/default.jxw" "${MORVANE_BUILD_DATA_DIR}"
  DEPENDS librarygen
  COMMENT "Generating the default texture library"
  VERBATIM)
add_custom_command(
  OUTPUT ${_library_install_files}
  COMMAND librarygen "${_library_install_dir}" "${_library_install_dir}/default.jxw" "${MORVANE_DATA_INSTALL_DIR}"
  DEPENDS librarygen
  COMMENT "Generating the installed default texture library"
  VERBATIM)
add_custom_target(library_data ALL DEPENDS ${_library_build_files} ${_library_install_files})
install(FILES ${_library_install_files} DESTINATION "${MORVANE_DATA_INSTALL_DIR}")
