kestovar_add_test(transport_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/transport_rules_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/video_view_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/transport_bar_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TransportTestSupport.cpp
          ${CMAKE_CURRENT_LIST_DIR}/TransportTestSupport.h
          ${CMAKE_CURRENT_LIST_DIR}/../capture/MediaFixtures.cpp
  DEPS kestovar::playback Qt6::Test
  QT
  LABELS playback)
target_include_directories(transport_test PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/../capture)
