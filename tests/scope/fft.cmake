# FFT analysis: the windows, the transform, the spectra and the plot layout run without a display.
meter_add_test(test_fft_core SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_fft_core.cpp)

# The command-line verb, run as a program.
meter_add_test(test_fft_cli SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_fft_cli.cpp)
add_dependencies(test_fft_cli multimeter-cli)
target_compile_definitions(test_fft_cli PRIVATE METER_CLI_PATH="$<TARGET_FILE:multimeter-cli>")

if(METER_BUILD_GUI)
  meter_add_test(test_fft_dialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_fft_dialog.cpp LIBS meter_gui GUI)
endif()
