# The application object, its options, and the station program run as a whole.
kestovar_add_test(app_options_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AppOptions_test.cpp
  DEPS kestovar::app
  LABELS app)

kestovar_add_test(app_lifecycle_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CKestovarApp_test.cpp
  DEPS kestovar::app QT
  LABELS app)

# Starts the built program itself (a copy in a temporary folder, so that its own
# folder, the default storage root, is private to the test).
kestovar_add_test(app_process_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/StationProcess_test.cpp
  DEPS kestovar::capture QT
  LABELS app)
target_compile_definitions(app_process_test PRIVATE KESTOVAR_BINARY="$<TARGET_FILE:kestovar>"
  KESTOVAR_RECORD_CHILD="$<TARGET_FILE:avi_record_child>")
add_dependencies(app_process_test kestovar avi_record_child)
