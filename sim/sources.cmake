target_sources(meter_sim PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SimFrames.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimScope.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimHci.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimLogger.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimMeter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimScenario.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimRunner.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimSerialPort.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimBleCentral.cpp
)

# The simulator behind a pseudo-terminal (POSIX only).
if(UNIX)
  add_executable(metersim ${CMAKE_CURRENT_LIST_DIR}/metersim.cpp)
  target_link_libraries(metersim PRIVATE meter_sim)
  meter_warnings(metersim)
endif()
