# The transform against FFTW, measured side by side. FFTW is for this comparison only: it is never
# linked into the program or the tests. Without it (pkg-config fftw3f) the benchmark is skipped.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(FFTW3F QUIET IMPORTED_TARGET fftw3f)
endif()
if(FFTW3F_FOUND)
  meter_add_bench(bench_fft SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_fft.cpp LIBS PkgConfig::FFTW3F)
else()
  message(STATUS "bench_fft skipped: fftw3f not found (Debian: libfftw3-dev)")
endif()
