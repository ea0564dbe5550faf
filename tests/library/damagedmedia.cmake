# A corpus of damaged and hostile movies and pictures through the media list, the size
# readers and the player.
kestovar_add_test(damaged_media_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/damaged_media_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/LibraryFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/../capture/MediaFixtures.cpp
  DEPS kestovar::library kestovar::capture
  QT LABELS library)
