# The settings pop-ups of the real station: application object, simulated cameras,
# the embedded frame and its control panel together.
kestovar_add_test(app_station_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/station_choice_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MediaTestFixture.h
          ${PROJECT_SOURCE_DIR}/tests/capture/MediaFixtures.cpp
          ${PROJECT_SOURCE_DIR}/tests/capture/MediaFixtures.h
  DEPS kestovar::app
  QT
  LABELS app)
