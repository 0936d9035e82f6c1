# The splash picture and the program's icon are rendered at build time from
# the editor's own textures into the build's data folder (where the data
# file search finds them) and installed with the program.
if(MORVANE_GUI)
  add_executable(splashgen "${CMAKE_CURRENT_LIST_DIR}/splashgen/splashgen.cpp")
  target_include_directories(splashgen PRIVATE "${CMAKE_SOURCE_DIR}")
  target_link_libraries(splashgen PRIVATE morvane_engine Qt6::Gui)
  set(_splash_png "${MORVANE_BUILD_DATA_DIR}/splash.png")
  set(_icon_png "${MORVANE_BUILD_DATA_DIR}/morvane.png")
  # Qt's font set-up keeps memory until exit: no leak report at build time.
  add_custom_command(
    OUTPUT "${_splash_png}" "${_icon_png}"
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:splashgen> "${_splash_png}" "${_icon_png}"
    DEPENDS splashgen
    COMMENT "Rendering the splash picture and the icon"
    VERBATIM)
  add_custom_target(splash_data ALL DEPENDS "${_splash_png}" "${_icon_png}")
  install(FILES "${_splash_png}" "${_icon_png}" DESTINATION "${MORVANE_DATA_INSTALL_DIR}")
endif()
