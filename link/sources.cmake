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
  ${CMAKE_CURRENT_LIST_DIR}/DirectLink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinkController.cpp
)
# The operating system's serial device.
if(WIN32)
  target_sources(meter_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SerialDeviceWin32.cpp)
else()
  target_sources(meter_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SerialDevicePosix.cpp)
endif()
