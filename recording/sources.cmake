# Recording live and saved readings into documents: the recorder, its rules, the view interface
# and the crash journal (core). Its window glue (the host over the child frames and the restore
# offer) lives with the main window in app/.
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/RecordingView.h
  ${CMAKE_CURRENT_LIST_DIR}/RecordingRules.h
  ${CMAKE_CURRENT_LIST_DIR}/RecordingRules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Recorder.h
  ${CMAKE_CURRENT_LIST_DIR}/Recorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordingJournal.h
  ${CMAKE_CURRENT_LIST_DIR}/RecordingJournal.cpp
)
