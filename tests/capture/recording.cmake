kestovar_add_test(avi_writer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/avi_writer_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.h
  DEPS kestovar::capture
  LABELS recording)

kestovar_add_test(media_probe_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/media_probe_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.h
  DEPS kestovar::capture
  QT
  LABELS recording)

kestovar_add_test(record_graph_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/record_graph_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.h
  DEPS kestovar::capture
  QT
  LABELS recording)
target_include_directories(record_graph_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../platform)
