# The registry store and the settings record on top of it.
kestovar_add_test(recording_settings_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CRegStore_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CAppSettings_test.cpp
  DEPS kestovar::recording
  LABELS recording)
