# Windows: installs the program with the Qt libraries it needs (windeployqt) and makes an
# installer with CPack (NSIS by default, WiX with -G WIX) that registers the ".mLog" and ".osc"
# file types. Included from app/CMakeLists.txt on Windows only; see README.md, "Building on
# Windows".
include(GNUInstallDirs)

install(TARGETS multimeter multimeter-cli RUNTIME DESTINATION .)

# windeployqt sits beside the Qt that the build found.
find_program(METER_WINDEPLOYQT windeployqt HINTS "${QT6_INSTALL_PREFIX}/bin" "${Qt6_DIR}/../../../bin")
if(METER_WINDEPLOYQT)
  # Copies the Qt DLLs, the platform plugin, the print support and serial port modules and the
  # compiler's runtime next to the executable in the install (or installer staging) folder.
  install(CODE "
    execute_process(
      COMMAND \"${METER_WINDEPLOYQT}\" --no-translations --compiler-runtime
              --dir \"\${CMAKE_INSTALL_PREFIX}\" \"\${CMAKE_INSTALL_PREFIX}/multimeter.exe\"
      RESULT_VARIABLE deploy_result)
    if(NOT deploy_result EQUAL 0)
      message(FATAL_ERROR \"windeployqt failed: \${deploy_result}\")
    endif()
  ")
else()
  message(WARNING "windeployqt not found: the install will lack the Qt libraries")
endif()

set(CPACK_PACKAGE_NAME "Multimeter")
set(CPACK_PACKAGE_VENDOR "Multimeter")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "True RMS Multimeter & Oscillometer")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Multimeter")
set(CPACK_PACKAGE_EXECUTABLES "multimeter" "True RMS Multimeter & Oscillometer")
if(NOT CPACK_GENERATOR)
  set(CPACK_GENERATOR "NSIS")
endif()

# NSIS: a start-menu entry, and the two document types opened by the program.
set(CPACK_NSIS_DISPLAY_NAME "True RMS Multimeter & Oscillometer")
set(CPACK_NSIS_INSTALLED_ICON_NAME "multimeter.exe")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(meter_nsis_install "")
set(meter_nsis_uninstall "")
foreach(type "mLog;Multimeter.Document;Data log" "osc;Multimeter.Oscilloscope;Oscilloscope record")
  list(GET type 0 ext)
  list(GET type 1 progid)
  list(GET type 2 title)
  string(APPEND meter_nsis_install
    "WriteRegStr HKCR '.${ext}' '' '${progid}'\n"
    "WriteRegStr HKCR '${progid}' '' '${title}'\n"
    "WriteRegStr HKCR '${progid}\\\\DefaultIcon' '' '$INSTDIR\\\\multimeter.exe,0'\n"
    "WriteRegStr HKCR '${progid}\\\\shell\\\\open\\\\command' '' '\\\"$INSTDIR\\\\multimeter.exe\\\" \\\"%1\\\"'\n")
  string(APPEND meter_nsis_uninstall
    "DeleteRegKey HKCR '${progid}'\n"
    "ReadRegStr $0 HKCR '.${ext}' ''\n"
    "StrCmp $0 '${progid}' 0 +2\n"
    "DeleteRegKey HKCR '.${ext}'\n")
endforeach()
# Tell the shell that the associations changed.
string(APPEND meter_nsis_install "System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'\n")
string(APPEND meter_nsis_uninstall "System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'\n")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "${meter_nsis_install}")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "${meter_nsis_uninstall}")

# WiX: a fixed upgrade code keeps later installers replacing this one; the associations come
# from a small fragment.
set(CPACK_WIX_UPGRADE_GUID "6C1D1F0E-7A43-4E63-9B8E-2F5A0C4D8B17")
set(CPACK_WIX_PRODUCT_NAME "True RMS Multimeter & Oscillometer")
set(CPACK_WIX_PATCH_FILE "${CMAKE_CURRENT_LIST_DIR}/wix-file-types.xml")

include(CPack)
