# The window side of the logger download.
if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/LoggerList.h
    ${CMAKE_CURRENT_LIST_DIR}/LoggerList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WaitDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/WaitDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LoggerUi.h
    ${CMAKE_CURRENT_LIST_DIR}/LoggerUi.cpp
  )
endif()
