target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ObData.h
  ${CMAKE_CURRENT_LIST_DIR}/ChunkedArray.h
  ${CMAKE_CURRENT_LIST_DIR}/DataSeries.h
  ${CMAKE_CURRENT_LIST_DIR}/DataSeries.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataLog.h
  ${CMAKE_CURRENT_LIST_DIR}/DataLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MLogFile.h
  ${CMAKE_CURRENT_LIST_DIR}/MLogFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MLogJson.h
  ${CMAKE_CURRENT_LIST_DIR}/MLogJson.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyOrvelDoc.h
  ${CMAKE_CURRENT_LIST_DIR}/MyOrvelDoc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataLogText.h
  ${CMAKE_CURRENT_LIST_DIR}/DataLogText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataLogExport.h
  ${CMAKE_CURRENT_LIST_DIR}/DataLogExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExportJob.h
  ${CMAKE_CURRENT_LIST_DIR}/ExportJob.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataListModel.h
  ${CMAKE_CURRENT_LIST_DIR}/DataListModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataListWindow.h
  ${CMAKE_CURRENT_LIST_DIR}/DataListWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GraphModel.h
  ${CMAKE_CURRENT_LIST_DIR}/GraphModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GraphScene.h
  ${CMAKE_CURRENT_LIST_DIR}/GraphScene.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GraphOverlay.h
  ${CMAKE_CURRENT_LIST_DIR}/GraphOverlay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GraphPreferences.h
  ${CMAKE_CURRENT_LIST_DIR}/GraphPreferences.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PrintLayout.h
  ${CMAKE_CURRENT_LIST_DIR}/PrintLayout.cpp
)

# The data-log view and its windows: graph, tool bar, settings, printing.
if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/GraphPainter.h
    ${CMAKE_CURRENT_LIST_DIR}/GraphPainter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GraphOverlayPainter.h
    ${CMAKE_CURRENT_LIST_DIR}/GraphOverlayPainter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GraphDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/GraphDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MyOrvelView.h
    ${CMAKE_CURRENT_LIST_DIR}/MyOrvelView.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControlDlgBar.h
    ${CMAKE_CURRENT_LIST_DIR}/ControlDlgBar.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ColorSetting.h
    ${CMAKE_CURRENT_LIST_DIR}/ColorSetting.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PrintPainter.h
    ${CMAKE_CURRENT_LIST_DIR}/PrintPainter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PrintRX.h
    ${CMAKE_CURRENT_LIST_DIR}/PrintRX.cpp
  )
endif()

if(METER_BUILD_GUI)
  # graph-gallery: renders the data-log view, its tools, dialogs and printouts to PNG files.
  add_executable(graph-gallery ${CMAKE_CURRENT_LIST_DIR}/gallery/GraphGallery.cpp)
  target_link_libraries(graph-gallery PRIVATE meter_gui meter_sim)
  target_compile_definitions(graph-gallery PRIVATE METER_GRAPH_GALLERY_DIR="${CMAKE_BINARY_DIR}/gallery/graph")
  meter_warnings(graph-gallery)
endif()
