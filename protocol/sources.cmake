target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MeterData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameFields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LiveDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameDispatcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeterCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeterEventFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeterProtocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LiveDecoder.h
  ${CMAKE_CURRENT_LIST_DIR}/LoggerFrames.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LoggerRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LoggerDownload.h
  ${CMAKE_CURRENT_LIST_DIR}/LoggerDownload.cpp
)
