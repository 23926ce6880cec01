target_sources(meter_sim PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SimPlaceholder.cpp
)
