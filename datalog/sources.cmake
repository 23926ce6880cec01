target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ObData.h
  ${CMAKE_CURRENT_LIST_DIR}/DataSeries.h
  ${CMAKE_CURRENT_LIST_DIR}/DataSeries.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataLog.h
  ${CMAKE_CURRENT_LIST_DIR}/DataLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MLogFile.h
  ${CMAKE_CURRENT_LIST_DIR}/MLogFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MLogJson.h
  ${CMAKE_CURRENT_LIST_DIR}/MLogJson.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyOrvelDoc.h
  ${CMAKE_CURRENT_LIST_DIR}/MyOrvelDoc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordingJournal.h
  ${CMAKE_CURRENT_LIST_DIR}/RecordingJournal.cpp
)
