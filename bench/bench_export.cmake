meter_add_bench(bench_export SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_export.cpp)
