meter_add_fuzzer(fuzz_link fuzz_link.cpp)
