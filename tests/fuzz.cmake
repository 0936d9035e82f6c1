# Fuzz targets: tests/fuzz/fuzz_<name>.cpp defines LLVMFuzzerTestOneInput and
# links against the libraries it names in tests/fuzz/fuzz_<name>.libs (one
# target name per line).  In an ordinary build each target becomes a replay
# program that runs its corpus (tests/fuzz/corpus/<name>) and the crashes
# found so far (tests/fuzz/crashes/<name>) as a test.  With MORVANE_FUZZ=ON
# (clang) it becomes a libFuzzer binary instead: see tools/fuzz.sh.
option(MORVANE_FUZZ "Build libFuzzer binaries (clang only)" OFF)
file(GLOB _fuzz CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_*.cpp")
foreach(src IN LISTS _fuzz)
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "^fuzz_" "" short ${name})
  set(_libs morvane_engine)
  if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${name}.libs")
    file(STRINGS "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${name}.libs" _libs)
  endif()
  if(MORVANE_FUZZ)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} ${src} "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/ReplayMain.cpp")
    add_test(NAME fuzz_replay_${short}
             COMMAND ${name} "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${short}"
                             "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/crashes/${short}")
  endif()
  target_include_directories(${name} PRIVATE "${CMAKE_SOURCE_DIR}")
  target_link_libraries(${name} PRIVATE ${_libs})
endforeach()
