# Live display: the layout step and the texts are core (no painting), the panel and its keys are
# windows.
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PanelGeometry.h
  ${CMAKE_CURRENT_LIST_DIR}/MeterKeys.h
  ${CMAKE_CURRENT_LIST_DIR}/UnitTable.h
  ${CMAKE_CURRENT_LIST_DIR}/UnitTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LcdText.h
  ${CMAKE_CURRENT_LIST_DIR}/LcdText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LcdScene.h
  ${CMAKE_CURRENT_LIST_DIR}/LcdLayout.h
  ${CMAKE_CURRENT_LIST_DIR}/LcdLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DialFace.h
  ${CMAKE_CURRENT_LIST_DIR}/DialFace.cpp
)

if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/LcdArtwork.h
    ${CMAKE_CURRENT_LIST_DIR}/LcdArtwork.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LcdPainter.h
    ${CMAKE_CURRENT_LIST_DIR}/LcdPainter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LeftDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/LeftDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DisplayPane.h
    ${CMAKE_CURRENT_LIST_DIR}/DisplayPane.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MeterBtn.h
    ${CMAKE_CURRENT_LIST_DIR}/MeterBtn.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ShowData.h
    ${CMAKE_CURRENT_LIST_DIR}/ShowData.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StoreBtn.h
    ${CMAKE_CURRENT_LIST_DIR}/DerivedPanel.h
    ${CMAKE_CURRENT_LIST_DIR}/DerivedPanel.cpp
  )

  # lcd-gallery: renders the panel in every display mode to PNG files for a person to look at.
  add_executable(lcd-gallery ${CMAKE_CURRENT_LIST_DIR}/gallery/LcdGallery.cpp)
  target_link_libraries(lcd-gallery PRIVATE meter_gui meter_sim)
  target_compile_definitions(lcd-gallery PRIVATE METER_GALLERY_DIR="${CMAKE_BINARY_DIR}/gallery")
  meter_warnings(lcd-gallery)
endif()
