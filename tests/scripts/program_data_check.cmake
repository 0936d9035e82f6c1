# Checks that the command making each data file of the editor is among the
# commands that building the target "morvane" runs.  Arguments: NINJA,
# BUILD_DIR, DATA_DIR.
function(commands_of target out)
  execute_process(COMMAND "${NINJA}" -C "${BUILD_DIR}" -t commands "${target}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ninja knows no way to make ${target}: ${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

commands_of(morvane program)
set(made default.jxw sunset.zyv marble.zyv planks.zyv brick.zyv lava.zyv lagoon.zyv granite.zyv
         splash.png morvane.png interface.zyv sphere.par)
set(missing "")
foreach(name IN LISTS made)
  commands_of("${DATA_DIR}/${name}" text)
  # The last command is the one that writes the file itself.
  string(STRIP "${text}" text)
  string(REGEX REPLACE "^.*\n" "" last "${text}")
  string(FIND "${program}" "${last}" at)
  if(at LESS 0)
    list(APPEND missing "${name}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "building morvane alone does not make: ${missing}")
endif()
# The tips are copied when the build is configured.
if(NOT EXISTS "${DATA_DIR}/tips.txt")
  message(FATAL_ERROR "the build's data folder has no tips.txt")
endif()
