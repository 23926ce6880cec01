# Port search (core) and the port and scan dialogs (windows).
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/BluetoothSearch.cpp
)
if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/BleScanDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PortDlg.cpp
  )
endif()
