# The shell tests start the editor program itself: build it with them.
if(TARGET shell_tests AND TARGET morvane)
  add_dependencies(shell_tests morvane)
  target_compile_definitions(shell_tests PRIVATE MORVANE_EDITOR="$<TARGET_FILE:morvane>")
endif()
