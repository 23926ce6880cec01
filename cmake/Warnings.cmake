function(meter_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /utf-8)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra)
  endif()
endfunction()

# Every sanitizer report is fatal, so that a test fails and a fuzzer stops and saves its input at
# the first one.
if(METER_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# Data races between the threads the program starts (link reader, file loader). Qt itself is not
# instrumented, so only what passes through the standard library's locks is seen.
if(METER_TSAN)
  if(METER_SANITIZE)
    message(FATAL_ERROR "METER_TSAN and METER_SANITIZE cannot be used together")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(METER_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "METER_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Everything gets coverage instrumentation so that the fuzzers see into the core library.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
