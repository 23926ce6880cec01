# Several meters at once: one meter's session (link, protocol, identity, recording hand-off), alarm
# limits and their watch, power, energy and charge from a voltage and a current meter (core).
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/LiveReading.h
  ${CMAKE_CURRENT_LIST_DIR}/LiveReading.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AlarmWatch.h
  ${CMAKE_CURRENT_LIST_DIR}/AlarmWatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EnergyIntegrator.h
  ${CMAKE_CURRENT_LIST_DIR}/EnergyIntegrator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MultilogTable.h
  ${CMAKE_CURRENT_LIST_DIR}/MultilogTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeterSession.h
  ${CMAKE_CURRENT_LIST_DIR}/MeterSession.cpp
)

# Alarms per meter: their settings in the settings file, and the monitor that raises them.
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AlarmSettings.h
  ${CMAKE_CURRENT_LIST_DIR}/AlarmSettings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AlarmMonitor.h
  ${CMAKE_CURRENT_LIST_DIR}/AlarmMonitor.cpp
)

# Power, energy and charge from a voltage meter and a current meter, and their recording.
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DerivedReadings.h
  ${CMAKE_CURRENT_LIST_DIR}/DerivedReadings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DerivedRecorder.h
  ${CMAKE_CURRENT_LIST_DIR}/DerivedRecorder.cpp
)
