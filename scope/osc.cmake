# Oscilloscope records: decoding, the controller, the ".osc" file (core, no windows).
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/OscData.h
  ${CMAKE_CURRENT_LIST_DIR}/OscData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscDecoder.h
  ${CMAKE_CURRENT_LIST_DIR}/OscDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscStoreLook.h
  ${CMAKE_CURRENT_LIST_DIR}/OscStoreLook.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscController.h
  ${CMAKE_CURRENT_LIST_DIR}/OscController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscFile.h
  ${CMAKE_CURRENT_LIST_DIR}/OscFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscJson.h
  ${CMAKE_CURRENT_LIST_DIR}/OscJson.cpp
)
