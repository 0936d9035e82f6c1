# Fuzz targets: tests/fuzz/fuzz_<name>.cpp defines LLVMFuzzerTestOneInput and
# links against the libraries it names in tests/fuzz/fuzz_<name>.libs (one
# target name per line) and compiles the sources it names in
# tests/fuzz/fuzz_<name>.srcs (paths from the source root, one per line:
# for code of libraries that a build without the GUI leaves out).  In an ordinary build each target becomes a replay
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
  set(_srcs)
  if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${name}.srcs")
    file(STRINGS "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${name}.srcs" _rel)
    foreach(r IN LISTS _rel)
      list(APPEND _srcs "${CMAKE_SOURCE_DIR}/${r}")
    endforeach()
  endif()
  if(MORVANE_FUZZ)
    add_executable(${name} ${src} ${_srcs})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} ${src} ${_srcs} "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/ReplayMain.cpp")
    add_test(NAME fuzz_replay_${short}
             COMMAND ${name} "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${short}"
                             "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/crashes/${short}")
  endif()
  target_include_directories(${name} PRIVATE "${CMAKE_SOURCE_DIR}")
  target_link_libraries(${name} PRIVATE ${_libs})
endforeach()
