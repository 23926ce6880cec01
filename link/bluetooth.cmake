# The computer's own Bluetooth adapter (Qt Bluetooth), for the direct link. Only the window links
# it; the core sees the adapter through the IBleCentral seam alone.
if(METER_BUILD_GUI)
  find_package(Qt6 6.2 REQUIRED COMPONENTS Bluetooth)
  target_sources(meter_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/QtBleCentral.cpp)
  target_link_libraries(meter_gui PUBLIC Qt6::Bluetooth)
endif()
