# The skinned dialog frame, the message dialogs, the no-camera notice and the splash.
kestovar_add_test(dialogs_frame_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_test.cpp
  DEPS kestovar::dialogs QT LABELS dialogs)
kestovar_add_test(dialogs_message_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/message_test.cpp ${CMAKE_CURRENT_LIST_DIR}/notice_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/splash_test.cpp
  DEPS kestovar::dialogs QT LABELS dialogs)
