# mpegtool: command-line driver of the MPEG codec (encode, decode).
add_executable(mpegtool
  ${CMAKE_CURRENT_LIST_DIR}/mpegtool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mpegtool_encode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mpegtool_decode.cpp)
target_include_directories(mpegtool PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(mpegtool PRIVATE morvane_codec morvane_engine)
