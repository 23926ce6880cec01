# The document manager of the data-log documents.
if(METER_BUILD_GUI)
  target_sources(meter_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/DocManager.h
    ${CMAKE_CURRENT_LIST_DIR}/DocManager.cpp
  )
endif()
