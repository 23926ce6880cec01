# FFT analysis: windows, transform and spectra are core; the dialog and its painter are windows.
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FftWindow.h
  ${CMAKE_CURRENT_LIST_DIR}/FftWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FftTransform.h
  ${CMAKE_CURRENT_LIST_DIR}/FftTransform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FftAnalysis.h
  ${CMAKE_CURRENT_LIST_DIR}/FftAnalysis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FftPlot.h
  ${CMAKE_CURRENT_LIST_DIR}/FftPlot.cpp
)

if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/FftPainter.h
    ${CMAKE_CURRENT_LIST_DIR}/FftPainter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FftDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/FftDlg.cpp
  )

  # fft-gallery: the dialog in both views with every window, as PNG files for a person to look at.
  add_executable(fft-gallery ${CMAKE_CURRENT_LIST_DIR}/gallery/FftGallery.cpp)
  target_link_libraries(fft-gallery PRIVATE meter_gui)
  target_compile_definitions(fft-gallery PRIVATE METER_GALLERY_DIR="${CMAKE_BINARY_DIR}/gallery/fft")
  meter_warnings(fft-gallery)
endif()

# The transform's eight-float vectors never cross a real call; GCC's note about their passing
# convention does not apply.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/FftTransform.cpp PROPERTIES COMPILE_OPTIONS "-Wno-psabi")
endif()
