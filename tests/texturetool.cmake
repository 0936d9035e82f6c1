# The media and shell tests run tools/texturetool: build it with them.
foreach(_tests media_tests shell_tests)
  if(TARGET ${_tests} AND TARGET texturetool)
    add_dependencies(${_tests} texturetool)
    target_compile_definitions(${_tests} PRIVATE MORVANE_TEXTURETOOL="$<TARGET_FILE:texturetool>")
  endif()
endforeach()
