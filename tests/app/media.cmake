# The media control operations of the application object, with the simulated cameras
# and microphone and an in-memory video window.
kestovar_add_test(app_media_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/media_modes_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/media_ops_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MediaTestFixture.h
          ${PROJECT_SOURCE_DIR}/tests/capture/MediaFixtures.cpp
          ${PROJECT_SOURCE_DIR}/tests/capture/MediaFixtures.h
  DEPS kestovar::app
  QT
  LABELS app)
