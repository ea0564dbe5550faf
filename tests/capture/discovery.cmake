kestovar_add_test(capture_discovery_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../platform/FakeV4l2Io.cpp
    ${CMAKE_CURRENT_LIST_DIR}/camera_table_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/encoder_xu_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_discovery_test.cpp
  DEPS kestovar::capture
  LABELS capture)
