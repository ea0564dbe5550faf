kestovar_add_test(naming_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/naming_test.cpp
  DEPS kestovar::recording
  LABELS recording)

kestovar_add_test(recording_status_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/status_test.cpp
  DEPS kestovar::recording
  LABELS recording)
