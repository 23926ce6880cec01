# The meter's logger download: its frames, records and the download controller (core); the
# Logger List, the progress window and their glue (window).
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/LoggerFrames.h
  ${CMAKE_CURRENT_LIST_DIR}/LoggerFrames.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LoggerRecord.h
  ${CMAKE_CURRENT_LIST_DIR}/LoggerRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LoggerDownload.h
  ${CMAKE_CURRENT_LIST_DIR}/LoggerDownload.cpp
)
if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/LoggerList.h
    ${CMAKE_CURRENT_LIST_DIR}/LoggerList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LoggerProgressDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/LoggerProgressDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LoggerUi.h
    ${CMAKE_CURRENT_LIST_DIR}/LoggerUi.cpp
  )
endif()
