# The camera's image controls (brightness ... exposure, power line) on the simulated
# camera and a replayed V4L2 camera.
kestovar_add_test(capture_image_controls_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../platform/FakeV4l2Io.cpp
    ${CMAKE_CURRENT_LIST_DIR}/image_controls_test.cpp
  DEPS kestovar::capture
  LABELS capture)
