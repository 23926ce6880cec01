meter_add_fuzzer(fuzz_mlog fuzz_mlog.cpp)
