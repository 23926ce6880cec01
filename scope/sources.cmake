# The oscilloscope and the FFT analysis.
# Core: records and their decoding, the controller, the ".osc" file, the graph's layout, the
# spreadsheet cells and the printout layout; FFT windows, transform, spectra and plot layout.
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/OscData.h
  ${CMAKE_CURRENT_LIST_DIR}/OscData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscDecoder.h
  ${CMAKE_CURRENT_LIST_DIR}/OscDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscStoreLook.h
  ${CMAKE_CURRENT_LIST_DIR}/OscStoreLook.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscController.h
  ${CMAKE_CURRENT_LIST_DIR}/OscController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscFile.h
  ${CMAKE_CURRENT_LIST_DIR}/OscFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscJson.h
  ${CMAKE_CURRENT_LIST_DIR}/OscJson.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscGraphModel.h
  ${CMAKE_CURRENT_LIST_DIR}/OscGraphModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscExport.h
  ${CMAKE_CURRENT_LIST_DIR}/OscExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OscPrintLayout.h
  ${CMAKE_CURRENT_LIST_DIR}/OscPrintLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FftWindow.h
  ${CMAKE_CURRENT_LIST_DIR}/FftWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FftTransform.h
  ${CMAKE_CURRENT_LIST_DIR}/FftTransform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FftAnalysis.h
  ${CMAKE_CURRENT_LIST_DIR}/FftAnalysis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FftPlot.h
  ${CMAKE_CURRENT_LIST_DIR}/FftPlot.cpp
)
# The transform's eight-float vectors never cross a real call; GCC's note about their passing
# convention does not apply.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/FftTransform.cpp PROPERTIES COMPILE_OPTIONS "-Wno-psabi")
endif()

# Windows: the graph widget, the "OSC" window, the store buttons, the progress window and their
# glue; the FFT dialog and its painter.
if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/OscProgressDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/OscProgressDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OscGraph.h
    ${CMAKE_CURRENT_LIST_DIR}/OscGraph.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OscDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/OscDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OscList.h
    ${CMAKE_CURRENT_LIST_DIR}/OscList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OscUiFiles.h
    ${CMAKE_CURRENT_LIST_DIR}/OscUiFiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OscUi.h
    ${CMAKE_CURRENT_LIST_DIR}/OscUi.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FftPainter.h
    ${CMAKE_CURRENT_LIST_DIR}/FftPainter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FftDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/FftDlg.cpp
  )
  # osc-gallery and fft-gallery: the windows, the store buttons and the printouts as PNG files for
  # a person to look at.
  add_executable(osc-gallery ${CMAKE_CURRENT_LIST_DIR}/gallery/OscGallery.cpp)
  target_link_libraries(osc-gallery PRIVATE meter_gui)
  target_compile_definitions(osc-gallery PRIVATE METER_GALLERY_DIR="${CMAKE_BINARY_DIR}/gallery/osc")
  meter_warnings(osc-gallery)
  add_executable(fft-gallery ${CMAKE_CURRENT_LIST_DIR}/gallery/FftGallery.cpp)
  target_link_libraries(fft-gallery PRIVATE meter_gui)
  target_compile_definitions(fft-gallery PRIVATE METER_GALLERY_DIR="${CMAKE_BINARY_DIR}/gallery/fft")
  meter_warnings(fft-gallery)
endif()
