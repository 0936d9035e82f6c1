# gallery: every material and relief rendered to PPM files (see the test
# list tests/data/gallery.sha256).
add_executable(gallery "${CMAKE_CURRENT_LIST_DIR}/gallery.cpp")
target_include_directories(gallery PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(gallery PRIVATE morvane_engine)
