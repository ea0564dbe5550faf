# The main window, the frame and the control panel: layout arithmetic, the button and
# menu rules, the key filter, the camera coming and going (over a fake AppState), and
# the repair of movies a crash left unfinished.
kestovar_add_test(mainwindow_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/StationRules_test.cpp ${CMAKE_CURRENT_LIST_DIR}/StationGeometry_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainWindow_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/capture/MediaFixtures.cpp
    ${PROJECT_SOURCE_DIR}/tests/capture/MediaFixtures.h
  DEPS kestovar::app QT
  LABELS app)
