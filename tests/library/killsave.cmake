# Saves killed at random moments: a child process saves settings or a case file in a
# loop, the test kills it 1000 times and checks what is on disk.
add_executable(kill_save_child
  ${CMAKE_CURRENT_LIST_DIR}/kill_save_child.cpp ${CMAKE_CURRENT_LIST_DIR}/KillSaveVersions.h
  ${PROJECT_SOURCE_DIR}/src/library/CaseInfoFile.cpp)
target_link_libraries(kill_save_child PRIVATE kestovar::recording kestovar::platform)
target_include_directories(kill_save_child PRIVATE ${CMAKE_CURRENT_LIST_DIR})

kestovar_add_test(kill_save_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/kill_save_test.cpp ${CMAKE_CURRENT_LIST_DIR}/KillSaveVersions.h
          ${PROJECT_SOURCE_DIR}/src/library/CaseInfoFile.cpp ${PROJECT_SOURCE_DIR}/src/library/MediaFolderScan.cpp
          ${PROJECT_SOURCE_DIR}/src/library/MediaFileOperations.cpp
  DEPS kestovar::platform kestovar::recording
  TIMEOUT 900
  LABELS library)
target_compile_definitions(kill_save_test PRIVATE KESTOVAR_KILL_SAVE_CHILD="$<TARGET_FILE:kill_save_child>")
add_dependencies(kill_save_test kill_save_child)
