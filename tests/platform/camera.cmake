kestovar_add_test(camera_platform_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FakeV4l2Io.cpp
    ${CMAKE_CURRENT_LIST_DIR}/v4l2_camera_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/usb_ids_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/simulated_camera_test.cpp
  DEPS kestovar::platform
  LABELS camera)
