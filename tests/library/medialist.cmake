# The media library's list, thumbnails, form and folder chooser. Sample movies are
# recorded at test time with the capture engine's AVI writer.
set(library_fixtures
  ${CMAKE_CURRENT_LIST_DIR}/LibraryFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/LibraryFixtures.h
  ${CMAKE_CURRENT_LIST_DIR}/../capture/MediaFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/../capture/MediaFixtures.h)

kestovar_add_test(medialist_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/medialist_test.cpp ${library_fixtures}
  DEPS kestovar::library kestovar::capture
  QT LABELS library)

kestovar_add_test(form_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/form_test.cpp ${CMAKE_CURRENT_LIST_DIR}/FakeMediaHost.h ${library_fixtures}
  DEPS kestovar::library kestovar::capture
  QT LABELS library)

kestovar_add_test(folder_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/folder_test.cpp
  DEPS kestovar::library
  QT LABELS library)
