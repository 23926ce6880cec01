if(METER_BUILD_GUI)
  meter_add_bench(bench_graph SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_graph.cpp LIBS meter_gui meter_sim)
endif()
