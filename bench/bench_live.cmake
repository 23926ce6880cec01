if(METER_BUILD_GUI)
  meter_add_bench(bench_live SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_live.cpp LIBS meter_gui meter_sim)
endif()
