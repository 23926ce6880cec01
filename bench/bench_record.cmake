meter_add_bench(bench_record SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_record.cpp)
target_include_directories(bench_record PRIVATE ${PROJECT_SOURCE_DIR}/tests)
