# "mpegtool decode" on a small committed MPEG-1 stream (5 frames of 32 x 32):
# every frame written, as PPM and as raw 4:2:0 planes, and counted.
set(_mpeg_seed ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/mpegdecoder/seed_m1)
add_test(NAME mpegtool_decode_ppm
  COMMAND sh -c "rm -rf \"$2\" && \"$1\" decode \"$3\" --out \"$2\" && test -f \"$2/mpeg0004.ppm\" && test ! -e \"$2/mpeg0005.ppm\" && test $(wc -c < \"$2/mpeg0000.ppm\") -eq 3085"
          sh $<TARGET_FILE:mpegtool> ${CMAKE_CURRENT_BINARY_DIR}/mpegtool-decode-ppm ${_mpeg_seed})
set_tests_properties(mpegtool_decode_ppm PROPERTIES PASS_REGULAR_EXPRESSION "5 frames")
add_test(NAME mpegtool_decode_yuv
  COMMAND sh -c "rm -rf \"$2\" && \"$1\" decode \"$3\" --out \"$2\" --yuv && test $(cat \"$2\"/mpeg000*.yuv | wc -c) -eq 7680"
          sh $<TARGET_FILE:mpegtool> ${CMAKE_CURRENT_BINARY_DIR}/mpegtool-decode-yuv ${_mpeg_seed})
set_tests_properties(mpegtool_decode_yuv PROPERTIES PASS_REGULAR_EXPRESSION "5 frames")
# Each frame file appears whole, but the frames reach the disk with one
# sync after the last, not one each.
# (A leak check cannot run under strace.)
find_program(MORVANE_STRACE strace)
if(MORVANE_STRACE)
  add_test(NAME mpegtool_decode_syncs_once
    COMMAND sh -c "rm -rf \"$2\" && \"$4\" -f -qq -E ASAN_OPTIONS=detect_leaks=0 -e trace=fsync,fdatasync,syncfs -o \"$2.calls\" \"$1\" decode \"$3\" --out \"$2\" && test $(grep -c sync \"$2.calls\") -eq 1 && grep -q syncfs \"$2.calls\" && test -f \"$2/mpeg0004.ppm\""
            sh $<TARGET_FILE:mpegtool> ${CMAKE_CURRENT_BINARY_DIR}/mpegtool-decode-sync ${_mpeg_seed} ${MORVANE_STRACE})
endif()
# What mpegtool refuses, and what stops it, ends it with a message and a
# status other than 0: a named pipe as input (refused, not waited on),
# bytes holding no picture, a picture size the decoder does not take, a
# negative frame count or a size that does not fit, and a disk that fills
# up (the system's reason and the frames written).  A case that cannot be
# set up here (no mount namespace for the small disk) is skipped.
foreach(_case pipe random-bytes too-large command-line full-disk file-size-limit)
  add_test(NAME mpegtool_says_why_${_case}
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/scripts/mpegtool_check.sh ${_case} $<TARGET_FILE:mpegtool>
            ${CMAKE_CURRENT_BINARY_DIR}/mpegtool-${_case} ${_mpeg_seed})
  set_tests_properties(mpegtool_says_why_${_case} PROPERTIES TIMEOUT 20 SKIP_RETURN_CODE 77)
endforeach()
