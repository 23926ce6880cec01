if(METER_BUILD_GUI)
  meter_add_bench(bench_logger SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_logger.cpp LIBS meter_gui meter_sim)
endif()
