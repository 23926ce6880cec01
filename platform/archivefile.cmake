target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ArchiveFile.h
  ${CMAKE_CURRENT_LIST_DIR}/ArchiveFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SafeSave.h
  ${CMAKE_CURRENT_LIST_DIR}/SafeSave.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChunkBuffer.h
  ${CMAKE_CURRENT_LIST_DIR}/Workbook.h
  ${CMAKE_CURRENT_LIST_DIR}/Workbook.cpp
)
target_sources(meter_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SafeSave.h
  ${CMAKE_CURRENT_LIST_DIR}/SafeSave.cpp
)
