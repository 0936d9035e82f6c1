# texturetool: renders and exports textures from the command line, through
# the same code as the editor's Save As.
if(TARGET morvane_media)
  add_executable(texturetool ${CMAKE_CURRENT_LIST_DIR}/texturetool.cpp)
  target_include_directories(texturetool PRIVATE "${CMAKE_SOURCE_DIR}")
  target_link_libraries(texturetool PRIVATE morvane_media morvane_engine morvane_codec)
endif()
