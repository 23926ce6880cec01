target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Archive.h
  ${CMAKE_CURRENT_LIST_DIR}/Archive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileTarget.h
  ${CMAKE_CURRENT_LIST_DIR}/FileTarget.cpp
)

if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MessageBox.cpp
  )
endif()
