# The frame dispatcher and its checks, the reading record and the live decoders, the meter's
# commands (core only).
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MeterData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeterTime.h
  ${CMAKE_CURRENT_LIST_DIR}/MeterTime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameFields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LiveDecoder.h
  ${CMAKE_CURRENT_LIST_DIR}/LiveDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameDispatcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameCheck.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReadableWatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeterCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeterEventFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeterProtocol.cpp
)
