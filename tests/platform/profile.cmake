kestovar_add_test(profile_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/profile_test.cpp
  DEPS kestovar::platform
  LABELS platform)
