# Oscilloscope windows of this folder's core (meter_gui).
if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/OscProgressDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/OscProgressDlg.cpp
  )
endif()
