# The application object, the main window (a switchboard), the child frames, the document
# manager and the window side of recording (the host over the child frames, the restore offer).
if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/DocManager.h
    ${CMAKE_CURRENT_LIST_DIR}/DocManager.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChildFrame.h
    ${CMAKE_CURRENT_LIST_DIR}/ChildFrame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KeyLockIndicators.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WindowRecordingHost.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RecordingRestore.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainFrame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainFrameWindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainFrameMenus.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainFrameLinkDialogs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainFrameMeters.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainFrameSession.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionUi.h
    ${CMAKE_CURRENT_LIST_DIR}/SessionUi.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AlarmDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/AlarmDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UserGuide.cpp
    ${PROJECT_SOURCE_DIR}/packaging/AppIcon.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MyOrvelApp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ToolbarIcons.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app.qrc
  )
endif()

if(METER_BUILD_GUI)
  # graph-gallery: renders the data-log view, its tools, dialogs and printouts to PNG files. It
  # lives here because it shows the view inside the main window's document frames.
  add_executable(graph-gallery ${CMAKE_CURRENT_LIST_DIR}/gallery/GraphGallery.cpp)
  target_link_libraries(graph-gallery PRIVATE meter_gui meter_sim)
  target_compile_definitions(graph-gallery PRIVATE METER_GRAPH_GALLERY_DIR="${CMAKE_BINARY_DIR}/gallery/graph")
  meter_warnings(graph-gallery)

  # meters-gallery: the window with two simulated meters, their combined graph, an alarm, the
  # Alarms and Add meter dialogs.
  add_executable(meters-gallery ${CMAKE_CURRENT_LIST_DIR}/gallery/MetersGallery.cpp)
  target_link_libraries(meters-gallery PRIVATE meter_gui meter_sim)
  target_compile_definitions(meters-gallery PRIVATE METER_METERS_GALLERY_DIR="${CMAKE_BINARY_DIR}/gallery/meters")
  meter_warnings(meters-gallery)
endif()
