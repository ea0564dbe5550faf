# The whole station (application object, main window, frame) with the simulated Full
# HD camera pulled out and plugged back in, also during a recording.
kestovar_add_test(app_camera_pull_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/camera_pull_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MediaTestFixture.h
          ${PROJECT_SOURCE_DIR}/tests/capture/MediaFixtures.cpp
          ${PROJECT_SOURCE_DIR}/tests/capture/MediaFixtures.h
  DEPS kestovar::app
  QT
  LABELS app)
