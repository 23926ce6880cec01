meter_add_bench(bench_link SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_link.cpp)
