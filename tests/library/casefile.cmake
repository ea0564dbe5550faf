# The case-file and file-operation engine is compiled in directly, so these tests need
# only the layers below the library and none of its widgets.
kestovar_add_test(casefile_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/casefile_test.cpp
          ${PROJECT_SOURCE_DIR}/src/library/CaseInfoFile.cpp
  DEPS kestovar::platform kestovar::recording
  LABELS library)

kestovar_add_test(fileops_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fileops_test.cpp
          ${PROJECT_SOURCE_DIR}/src/library/CaseInfoFile.cpp
          ${PROJECT_SOURCE_DIR}/src/library/MediaFileOperations.cpp
  DEPS kestovar::platform kestovar::recording
  LABELS library)

kestovar_add_test(hostile_names_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/names_test.cpp
          ${PROJECT_SOURCE_DIR}/src/library/CaseInfoFile.cpp
          ${PROJECT_SOURCE_DIR}/src/library/MediaFileOperations.cpp
  DEPS kestovar::platform kestovar::recording
  LABELS library)
