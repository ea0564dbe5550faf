# Keeping the desktop awake over a real session bus (dbus-daemon).
kestovar_add_test(app_idle_inhibit_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/idle_inhibit_test.cpp
  DEPS kestovar::app Qt6::DBus
  QT
  LABELS app)
