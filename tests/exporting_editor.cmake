# The editor exporting a movie, a program of its own that the shell's tests
# start as a child (tests/programs/exporting_editor.cpp).
if(TARGET shell_tests)
  add_executable(exporting_editor ${CMAKE_CURRENT_SOURCE_DIR}/programs/exporting_editor.cpp)
  target_include_directories(exporting_editor PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}" "${CMAKE_SOURCE_DIR}")
  target_link_libraries(exporting_editor PRIVATE morvane_shell)
  add_dependencies(shell_tests exporting_editor)
  target_compile_definitions(shell_tests PRIVATE MORVANE_EXPORTING_EDITOR="$<TARGET_FILE:exporting_editor>")
endif()
