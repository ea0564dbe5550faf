# The encoder's extension unit found from a camera's USB descriptors, and the station
# streaming at the camera's own setting when the encoder refuses its commands (V4L2
# answers replayed through FakeV4l2Io).
kestovar_add_test(camera_encoder_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/camera_encoder_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/UvcDescriptorFixtures.h
          ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.h
          ${PROJECT_SOURCE_DIR}/tests/platform/FakeV4l2Io.cpp
  DEPS kestovar::app
  QT
  LABELS capture)
