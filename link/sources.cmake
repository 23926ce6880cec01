# The serial channel, the dongle's commands and events, the direct Bluetooth link, reconnect,
# port settings and search, and the link controller (core); the port and scan dialogs and the
# computer's own Bluetooth adapter (window).
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/HexText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialPort.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComPort.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BleCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BleLink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinkStatus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReconnectPlan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Reconnector.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BleCentral.h
  ${CMAKE_CURRENT_LIST_DIR}/MeterLink.h
  ${CMAKE_CURRENT_LIST_DIR}/DirectLink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinkController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PortSettings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BluetoothSearch.cpp
)
# The operating system's serial device.
if(WIN32)
  target_sources(meter_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SerialDeviceWin32.cpp)
else()
  target_sources(meter_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SerialDevicePosix.cpp)
endif()

# The core sees the computer's adapter through the IBleCentral seam alone; only the window links
# Qt Bluetooth.
if(METER_BUILD_GUI)
  find_package(Qt6 6.2 REQUIRED COMPONENTS Bluetooth)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/BleScanDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PortDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QtBleCentral.cpp
  )
  target_link_libraries(meter_gui PUBLIC Qt6::Bluetooth)
endif()
