# "mpegtool decode" on a small committed MPEG-1 stream (5 frames of 32 x 32):
# every frame written, as PPM and as raw 4:2:0 planes, and counted.
add_test(NAME mpegtool_decode_ppm
  COMMAND sh -c "rm -rf \"$2\" && \"$1\" decode \"$3\" --out \"$2\" && test -f \"$2/mpeg0004.ppm\" && test ! -e \"$2/mpeg0005.ppm\" && test $(wc -c < \"$2/mpeg0000.ppm\") -eq 3085"
          sh $<TARGET_FILE:mpegtool> ${CMAKE_CURRENT_BINARY_DIR}/mpegtool-decode-ppm
          ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/mpegdecoder/seed_m1)
set_tests_properties(mpegtool_decode_ppm PROPERTIES PASS_REGULAR_EXPRESSION "5 frames")
add_test(NAME mpegtool_decode_yuv
  COMMAND sh -c "rm -rf \"$2\" && \"$1\" decode \"$3\" --out \"$2\" --yuv && test $(cat \"$2\"/mpeg000*.yuv | wc -c) -eq 7680"
          sh $<TARGET_FILE:mpegtool> ${CMAKE_CURRENT_BINARY_DIR}/mpegtool-decode-yuv
          ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/mpegdecoder/seed_m1)
set_tests_properties(mpegtool_decode_yuv PROPERTIES PASS_REGULAR_EXPRESSION "5 frames")
