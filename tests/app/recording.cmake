# Recording control and still pictures: the controller over the real application
# object with the simulated Full HD camera and microphone, the windows faked.
kestovar_add_test(app_recording_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_control_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MediaTestFixture.h
          ${PROJECT_SOURCE_DIR}/tests/capture/MediaFixtures.cpp
          ${PROJECT_SOURCE_DIR}/tests/capture/MediaFixtures.h
  DEPS kestovar::app
  QT
  LABELS app)
