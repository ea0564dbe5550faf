kestovar_add_test(player_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/player_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/../capture/MediaFixtures.cpp
  DEPS kestovar::playback
  QT
  LABELS playback)
target_include_directories(player_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../capture)
target_include_directories(player_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../platform)
