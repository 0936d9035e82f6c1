# The kernel checker: every SIMD kernel at every processor level the machine
# has gives the plain kernel's output.  "checkkernels --bench" also times
# each kernel at each level.
add_executable(checkkernels ${CMAKE_CURRENT_LIST_DIR}/kernels/checkkernels.cpp)
target_include_directories(checkkernels PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(checkkernels PRIVATE morvane_engine morvane_codec)
add_test(NAME checkkernels COMMAND checkkernels)

# The program with the plain kernels only (MORVANE_CPU_MASK=plain) renders
# the same golden texture and the same gallery.
add_test(NAME render_golden_plain COMMAND engine_tests --gtest_filter=Render.GoldenChecksum)
add_test(NAME gallery_sha256_plain
  COMMAND sh -c "rm -rf \"$2\" && \"$1\" \"$2\" && cd \"$2\" && sha256sum --quiet --strict -c \"$3\""
          gallery_sha256_plain $<TARGET_FILE:gallery> "${CMAKE_CURRENT_BINARY_DIR}/gallery-plain"
          "${CMAKE_CURRENT_SOURCE_DIR}/data/gallery.sha256")
set_tests_properties(render_golden_plain gallery_sha256_plain PROPERTIES ENVIRONMENT "MORVANE_CPU_MASK=plain")
