# Linux: installs the program, the command-line tool and the simulator under the usual prefix
# with a desktop entry, the icon (SVG and PNG sizes, drawn at build time by make-icons), the
# ".mLog" and ".osc" MIME types and the user guide, and makes a Debian package with CPack:
#     cpack -G DEB --config build/CPackConfig.cmake
# Included from app/CMakeLists.txt on Linux only; see README.md, "Installing on Linux".
include(GNUInstallDirs)

set(meter_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(meter_icon_dir ${PROJECT_BINARY_DIR}/icons)
set(meter_icon_sizes 16 24 32 48 64 128 256)

add_executable(make-icons ${meter_packaging}/make-icons.cpp ${meter_packaging}/AppIcon.cpp)
target_include_directories(make-icons PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(make-icons PRIVATE Qt6::Gui)
meter_warnings(make-icons)

set(meter_icon_files ${meter_icon_dir}/multimeter.svg)
foreach(size ${meter_icon_sizes})
  list(APPEND meter_icon_files ${meter_icon_dir}/multimeter-${size}.png)
endforeach()
add_custom_command(OUTPUT ${meter_icon_files}
  COMMAND make-icons ${meter_icon_dir}
  DEPENDS make-icons
  COMMENT "Drawing the program's icon")
add_custom_target(icons ALL DEPENDS ${meter_icon_files})

install(TARGETS multimeter multimeter-cli metersim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${meter_packaging}/multimeter.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${meter_packaging}/multimeter-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME multimeter.xml)
install(FILES ${meter_icon_dir}/multimeter.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${meter_icon_sizes})
  install(FILES ${meter_icon_dir}/multimeter-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME multimeter.png)
endforeach()

# cpack first brings the whole build up to date (tests included), then packages; the programs
# go in stripped.
set(CPACK_STRIP_FILES ON)

set(CPACK_PACKAGE_NAME "multimeter")
set(CPACK_PACKAGE_VENDOR "Multimeter")
set(CPACK_PACKAGE_CONTACT "Multimeter developers <multimeter@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "True RMS Multimeter & Oscillometer")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Companion for a Bluetooth True RMS multimeter\n Mirrors the meter's display live, sends its keys, records readings into data-log\n documents, downloads the meter's logger, fetches oscilloscope waveforms and runs FFT\n analysis. Includes the command-line tool multimeter-cli and the simulator metersim.")
# The library dependencies come from the binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The desktop, icon and MIME databases are refreshed by the triggers of their own packages.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
if(NOT CPACK_GENERATOR)
  set(CPACK_GENERATOR "DEB")
endif()
include(CPack)
