# The program installs a desktop entry and the file types of its texture
# and layer files; the shared-mime-info tool must map both extensions.
if(MORVANE_GUI)
  add_test(NAME install_desktop_integration
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -DSTAGE=${CMAKE_CURRENT_BINARY_DIR}/desktop-stage
                   -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/desktop_check.cmake)
endif()
