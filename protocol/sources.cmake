target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MeterData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameFields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LiveDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameDispatcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameCheck.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReadableWatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeterCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeterEventFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeterProtocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LiveDecoder.h
)
