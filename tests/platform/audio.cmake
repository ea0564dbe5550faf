kestovar_add_test(audio_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_test.cpp
  DEPS kestovar::platform
  LABELS audio)
