# The user guide as shipped: app/help/user-guide.html with screenshots that the program takes of
# its own demo (--demo --screenshot) whenever it is rebuilt, so the pictures never go stale.
# build/guide/ holds the result; Help opens it from there in the build tree, and from the
# install (share/doc/multimeter/guide, or guide/ beside the Windows executable). The text alone is
# also built into the program, for a copy without the folder.
set(meter_guide_dir ${PROJECT_BINARY_DIR}/guide)
set(meter_guide_home ${PROJECT_BINARY_DIR}/guide-home) # a clean settings and data folder per shot
set(meter_guide_shots ${meter_guide_dir}/images/main-window.png ${meter_guide_dir}/images/recording.png)

# shot NAME AFTER_MS [extra options]
set(meter_guide_commands)
foreach(shot "main-window;3000" "recording;6000;--record")
  list(GET shot 0 name)
  list(GET shot 1 after)
  set(extra)
  list(LENGTH shot count)
  if(count GREATER 2)
    list(SUBLIST shot 2 -1 extra)
  endif()
  list(APPEND meter_guide_commands
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${meter_guide_home}/${name}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=${meter_guide_home}/${name}/config
            XDG_DATA_HOME=${meter_guide_home}/${name}/data
            $<TARGET_FILE:multimeter> --demo ${extra} --screenshot ${meter_guide_dir}/images/${name}.png --after ${after})
endforeach()
add_custom_command(OUTPUT ${meter_guide_shots}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${meter_guide_dir}/images
  ${meter_guide_commands}
  DEPENDS multimeter
  COMMENT "Taking the user guide's screenshots of the demo")
add_custom_command(OUTPUT ${meter_guide_dir}/user-guide.html
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/app/help/user-guide.html ${meter_guide_dir}/user-guide.html
  DEPENDS ${PROJECT_SOURCE_DIR}/app/help/user-guide.html)
# Running the program at build time needs its libraries at hand: always so on Linux; on Windows
# build the target by hand after windeployqt.
if(WIN32)
  add_custom_target(user-guide DEPENDS ${meter_guide_shots} ${meter_guide_dir}/user-guide.html)
  install(DIRECTORY ${meter_guide_dir}/ DESTINATION guide OPTIONAL)
else()
  include(GNUInstallDirs)
  add_custom_target(user-guide ALL DEPENDS ${meter_guide_shots} ${meter_guide_dir}/user-guide.html)
  install(DIRECTORY ${meter_guide_dir}/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/guide)
endif()
