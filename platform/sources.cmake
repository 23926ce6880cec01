# Small replacements for the original framework: the object archive, whole-file loads and the
# one safe save, file targets, spreadsheets, settings-free helpers (core), and the message-box
# seam (window).
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(XLSXWRITER IMPORTED_TARGET xlsxwriter)
endif()

target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Archive.h
  ${CMAKE_CURRENT_LIST_DIR}/Archive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ArchiveFile.h
  ${CMAKE_CURRENT_LIST_DIR}/ArchiveFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChunkBuffer.h
  ${CMAKE_CURRENT_LIST_DIR}/ExactJson.h
  ${CMAKE_CURRENT_LIST_DIR}/Exporter.h
  ${CMAKE_CURRENT_LIST_DIR}/FileTarget.h
  ${CMAKE_CURRENT_LIST_DIR}/FileTarget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SafeSave.h
  ${CMAKE_CURRENT_LIST_DIR}/SafeSave.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Workbook.h
  ${CMAKE_CURRENT_LIST_DIR}/Workbook.cpp
)
if(XLSXWRITER_FOUND)
  target_link_libraries(meter_core PUBLIC PkgConfig::XLSXWRITER)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/Workbook.cpp ${PROJECT_SOURCE_DIR}/scope/OscExport.cpp
    PROPERTIES COMPILE_DEFINITIONS METER_HAVE_XLSXWRITER)
else()
  message(WARNING "libxlsxwriter not found (pkg-config xlsxwriter): spreadsheet export is left out")
endif()

if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MessageBox.h
    ${CMAKE_CURRENT_LIST_DIR}/MessageBox.cpp
  )
endif()
