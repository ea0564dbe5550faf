kestovar_add_test(thread_priority_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ThreadPriority_test.cpp
  DEPS kestovar::platform
  LABELS platform)
