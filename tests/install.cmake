# An install goes below the prefix it is given and can be moved: installed
# into two prefixes by a user without root, one of them moved, each
# installed editor starts and loads the library and the tips from its own
# data folder.
if(MORVANE_GUI)
  add_test(NAME install_anywhere_and_moved
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/install_check.cmake)
  set_tests_properties(install_anywhere_and_moved PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED:" TIMEOUT 300)
endif()
