kestovar_add_test(disk_space_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/disk_space_test.cpp
  DEPS kestovar::platform)
