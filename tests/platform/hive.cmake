# Registry hive files, atomic writes and the registry folder rule.
kestovar_add_test(platform_hive_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/HiveFile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HiveStorage_test.cpp
  DEPS kestovar::platform
  LABELS platform)

# The single-instance lock and the signal bridge (needs an event loop).
kestovar_add_test(platform_process_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/InstanceLock_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SignalBridge_test.cpp
  DEPS kestovar::platform QT
  LABELS platform)
