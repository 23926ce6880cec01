# The oscilloscope window: graph layout, spreadsheet cells and printout layout are core; the
# graph widget, the "OSC" window, the store buttons and their glue are windows.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(XLSXWRITER IMPORTED_TARGET xlsxwriter)
endif()

target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/OscGraphModel.h
  ${CMAKE_CURRENT_LIST_DIR}/OscGraphModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscExport.h
  ${CMAKE_CURRENT_LIST_DIR}/OscExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscPrintLayout.h
  ${CMAKE_CURRENT_LIST_DIR}/OscPrintLayout.cpp
)
if(XLSXWRITER_FOUND)
  target_link_libraries(meter_core PUBLIC PkgConfig::XLSXWRITER)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/OscExport.cpp PROPERTIES COMPILE_DEFINITIONS METER_HAVE_XLSXWRITER)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/platform/Workbook.cpp PROPERTIES COMPILE_DEFINITIONS METER_HAVE_XLSXWRITER)
else()
  message(WARNING "libxlsxwriter not found (pkg-config xlsxwriter): spreadsheet export is left out")
endif()

if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/OscGraph.h
    ${CMAKE_CURRENT_LIST_DIR}/OscGraph.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OscDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/OscDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OscList.h
    ${CMAKE_CURRENT_LIST_DIR}/OscList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OscUiFiles.h
    ${CMAKE_CURRENT_LIST_DIR}/OscUiFiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OscUi.h
    ${CMAKE_CURRENT_LIST_DIR}/OscUi.cpp
  )
  # osc-gallery: the window, the store buttons and the printouts as PNG files to look at.
  add_executable(osc-gallery ${CMAKE_CURRENT_LIST_DIR}/gallery/OscGallery.cpp)
  target_link_libraries(osc-gallery PRIVATE meter_gui)
  target_compile_definitions(osc-gallery PRIVATE METER_GALLERY_DIR="${CMAKE_BINARY_DIR}/gallery/osc")
  meter_warnings(osc-gallery)
endif()
