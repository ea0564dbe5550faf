kestovar_add_test(capture_graph_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/grabber_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/preview_graph_test.cpp
  DEPS kestovar::capture
  QT
  LABELS capture)
