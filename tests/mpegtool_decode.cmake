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
# Each frame file appears whole, but the frames reach the disk with one
# sync after the last, not one each; a named pipe is refused, not waited on.
# (A leak check cannot run under strace.)
find_program(MORVANE_STRACE strace)
if(MORVANE_STRACE)
  add_test(NAME mpegtool_decode_syncs_once
    COMMAND sh -c "rm -rf \"$2\" && \"$4\" -f -qq -E ASAN_OPTIONS=detect_leaks=0 -e trace=fsync,fdatasync,syncfs -o \"$2.calls\" \"$1\" decode \"$3\" --out \"$2\" && test $(grep -c sync \"$2.calls\") -eq 1 && grep -q syncfs \"$2.calls\" && test -f \"$2/mpeg0004.ppm\""
            sh $<TARGET_FILE:mpegtool> ${CMAKE_CURRENT_BINARY_DIR}/mpegtool-decode-sync
            ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/mpegdecoder/seed_m1 ${MORVANE_STRACE})
endif()
add_test(NAME mpegtool_decode_refuses_a_pipe
  COMMAND sh -c "rm -rf \"$2\" && mkdir -p \"$2\" && mkfifo \"$2/in.m2v\" && ! \"$1\" decode \"$2/in.m2v\" --out \"$2/frames\""
          sh $<TARGET_FILE:mpegtool> ${CMAKE_CURRENT_BINARY_DIR}/mpegtool-decode-pipe)
set_tests_properties(mpegtool_decode_refuses_a_pipe PROPERTIES TIMEOUT 10 PASS_REGULAR_EXPRESSION "It is a named pipe, not a file")
