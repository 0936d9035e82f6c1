# Installs the build into two prefixes as a user without root (as root:
# the user nobody, through setpriv, into folders it owns), moves the first
# install, and starts each installed editor offscreen under strace: each
# must open the default library, every texture it lists and the tips from
# its own prefix, and no data file from anywhere else.  The installs lie
# outside the build tree (a program inside it uses the build's data).
# Arguments: BUILD_DIR.
if(DEFINED ENV{TMPDIR} AND IS_DIRECTORY "$ENV{TMPDIR}")
  set(WORK "$ENV{TMPDIR}")
else()
  set(WORK "/tmp")
endif()
string(RANDOM LENGTH 8 tag)
set(WORK "${WORK}/morvane-install-${tag}")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# Ends the check as skipped, for `reason`, leaving nothing behind.
macro(skip reason)
  file(REMOVE_RECURSE "${WORK}")
  message("SKIPPED: ${reason}")
  return()
endmacro()

find_program(STRACE strace)
if(NOT STRACE)
  skip("strace is not installed (tools/deps.sh installs it)")
endif()

# Who installs: this user, or nobody when this is root.
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
set(as_user "")
if(uid STREQUAL "0")
  find_program(SETPRIV setpriv)
  if(NOT SETPRIV)
    skip("running as root without setpriv to become another user")
  endif()
  set(as_user ${SETPRIV} --reuid=65534 --regid=65534 --clear-groups)
  execute_process(COMMAND chown 65534:65534 "${WORK}" RESULT_VARIABLE rc)
  execute_process(COMMAND ${as_user} test -w "${WORK}" -a -r "${BUILD_DIR}/cmake_install.cmake" RESULT_VARIABLE reach)
  if(NOT rc EQUAL 0 OR NOT reach EQUAL 0)
    skip("the user nobody cannot reach ${WORK} or the build")
  endif()
endif()

# The install writes its list of files into the build folder.
set(manifest "${BUILD_DIR}/install_manifest.txt")
file(TOUCH "${manifest}")
file(CHMOD "${manifest}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ GROUP_WRITE WORLD_READ WORLD_WRITE)

foreach(name first second)
  execute_process(COMMAND ${as_user} ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${WORK}/${name}"
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    file(CHMOD "${manifest}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    message(FATAL_ERROR "installing into ${WORK}/${name} as a user without root failed: ${err}")
  endif()
endforeach()
file(CHMOD "${manifest}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
execute_process(COMMAND ${as_user} mv "${WORK}/first" "${WORK}/moved" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the first install cannot be moved")
endif()

set(library sunset marble planks brick lava lagoon granite)
foreach(prefix "${WORK}/moved" "${WORK}/second")
  set(data "${prefix}/share/morvane")
  foreach(f "${prefix}/bin/morvane" "${data}/default.jxw" "${data}/tips.txt" "${data}/sphere.par")
    if(NOT EXISTS "${f}")
      message(FATAL_ERROR "not installed: ${f}")
    endif()
  endforeach()

  # An offscreen start in a folder of its own, with a profile and root
  # folder of its own; ended once it has read the tips (the tip of the day
  # shows at a first start), or after a minute.
  set(run "${prefix}/run")
  execute_process(COMMAND ${as_user} mkdir -p "${run}/root" "${run}/xdg")
  execute_process(COMMAND ${as_user} chmod 700 "${run}/xdg")
  execute_process(
    COMMAND ${as_user} sh -c [[
      cd "$1" || exit 1
      strace -f -qq -e trace=openat,open -o trace.log \
        sh -c 'echo $$ > editor.pid; exec env QT_QPA_PLATFORM=offscreen MORVANE_ROOT="$1/root" \
               MORVANE_PROFILE="$1/Morvane.ini" HOME="$1" XDG_RUNTIME_DIR="$1/xdg" "$2"' editor "$1" "$2" &
      tracer=$!
      i=0
      while [ $i -lt 120 ] && ! grep -q 'tips.txt", O_RDONLY.*= [0-9]' trace.log 2>/dev/null; do
        sleep 0.5; i=$((i + 1))
      done
      sleep 1
      [ -s editor.pid ] && kill "$(cat editor.pid)"
      wait $tracer
      exit 0
    ]] check "${run}" "${prefix}/bin/morvane"
    RESULT_VARIABLE rc)
  file(READ "${run}/trace.log" trace)

  # Every data file it opened is its own.
  set(wanted default.jxw tips.txt)
  foreach(n IN LISTS library)
    list(APPEND wanted ${n}.zyv)
  endforeach()
  foreach(f IN LISTS wanted)
    string(REGEX MATCH "\"${data}/${f}\", O_RDONLY[^\n]*= [0-9]+" opened "${trace}")
    if(NOT opened)
      message(FATAL_ERROR "the editor installed in ${prefix} did not load ${data}/${f}; it opened:\n${trace}")
    endif()
  endforeach()
  string(REGEX MATCHALL "\"[^\"]*/(default\\.jxw|tips\\.txt|sphere\\.par|interface\\.zyv|splash\\.png)\"[^\n]*= [0-9]+" found "${trace}")
  foreach(line IN LISTS found)
    string(FIND "${line}" "\"${data}/" own)
    if(NOT own EQUAL 0)
      message(FATAL_ERROR "the editor installed in ${prefix} loaded a data file from elsewhere: ${line}")
    endif()
  endforeach()
endforeach()
file(REMOVE_RECURSE "${WORK}")
