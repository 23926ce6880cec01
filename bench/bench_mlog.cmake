meter_add_bench(bench_mlog SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_mlog.cpp)
