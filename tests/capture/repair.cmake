# Crash safety of recordings: unfinished AVI files completed in place, the writer's
# full-disk handling, and recordings killed with SIGKILL at random moments.
kestovar_add_test(avi_repair_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/avi_repair_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.h
  DEPS kestovar::capture
  LABELS recording)

# The recording process the kill test kills (also used by the soak script).
add_executable(avi_record_child ${CMAKE_CURRENT_LIST_DIR}/avi_record_child.cpp)
target_link_libraries(avi_record_child PRIVATE kestovar::capture)

kestovar_add_test(avi_kill_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/avi_kill_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.h
  DEPS kestovar::capture
  TIMEOUT 120
  LABELS recording)
target_compile_definitions(avi_kill_test PRIVATE KESTOVAR_RECORD_CHILD="$<TARGET_FILE:avi_record_child>")
add_dependencies(avi_kill_test avi_record_child)

kestovar_add_test(avi_writer_fault_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/avi_writer_fault_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.h
  DEPS kestovar::capture
  LABELS recording)

kestovar_add_test(record_unplug_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/record_unplug_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/../platform/FakeV4l2Io.cpp
          ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/MediaFixtures.h
  DEPS kestovar::capture
  LABELS recording)
