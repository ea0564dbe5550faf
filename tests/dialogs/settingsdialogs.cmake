# The recording device and quality dialog, the camera image settings dialog and the
# resolution and rotation pop-ups, against a fake station with a simulated camera.
kestovar_add_test(dialogs_settings_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FakeSettingsHost.h
    ${CMAKE_CURRENT_LIST_DIR}/device_dialog_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/video_setting_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/popup_test.cpp
  DEPS kestovar::dialogs QT LABELS dialogs)
