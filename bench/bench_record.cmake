if(METER_BUILD_GUI)
  # With the program's windows the benchmark also records through the real data-log view.
  meter_add_bench(bench_record SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_record.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchRecordView.h
    LIBS meter_gui)
  target_compile_definitions(bench_record PRIVATE BENCH_RECORD_VIEW=1)
else()
  meter_add_bench(bench_record SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_record.cpp)
endif()
target_include_directories(bench_record PRIVATE ${PROJECT_SOURCE_DIR}/tests)
