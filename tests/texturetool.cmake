# The media tests run tools/texturetool: build it with them.
if(TARGET media_tests AND TARGET texturetool)
  add_dependencies(media_tests texturetool)
  target_compile_definitions(media_tests PRIVATE MORVANE_TEXTURETOOL="$<TARGET_FILE:texturetool>")
endif()
