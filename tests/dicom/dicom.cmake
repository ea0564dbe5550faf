# DICOM: objects from captures and the send queue, against a real Orthanc on loopback.
set(KESTOVAR_PACS_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/OrthancServer.cpp ${CMAKE_CURRENT_LIST_DIR}/OrthancServer.h
  ${CMAKE_CURRENT_LIST_DIR}/QueueTestSupport.h
  ${CMAKE_CURRENT_LIST_DIR}/WorklistServer.cpp ${CMAKE_CURRENT_LIST_DIR}/WorklistServer.h
  ${CMAKE_CURRENT_LIST_DIR}/../capture/MediaFixtures.cpp ${CMAKE_CURRENT_LIST_DIR}/../capture/MediaFixtures.h)

add_executable(dicom_send_child ${CMAKE_CURRENT_LIST_DIR}/send_child.cpp)
target_link_libraries(dicom_send_child PRIVATE kestovar::dicom)

kestovar_add_test(dicom_objects_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dicom_objects_test.cpp
  DEPS kestovar::dicom
  LABELS dicom)

kestovar_add_test(pacs_send_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pacs_send_test.cpp ${KESTOVAR_PACS_TEST_SOURCES}
  DEPS kestovar::dicom kestovar::capture
  QT
  TIMEOUT 600
  LABELS dicom)
target_compile_definitions(pacs_send_test PRIVATE KESTOVAR_SEND_CHILD="$<TARGET_FILE:dicom_send_child>")
add_dependencies(pacs_send_test dicom_send_child)

kestovar_add_test(worklist_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/worklist_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WorklistServer.cpp ${CMAKE_CURRENT_LIST_DIR}/WorklistServer.h
    ${CMAKE_CURRENT_LIST_DIR}/OrthancServer.cpp ${CMAKE_CURRENT_LIST_DIR}/OrthancServer.h
  DEPS kestovar::dicom
  QT
  LABELS dicom)

# The worklist end to end through the station's windows under Xvfb: wlmscpfs and Orthanc
# on loopback, a row chosen, a still and a recording sent into the ordered study.
add_test(NAME walkthrough_worklist
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/walkthrough-worklist --program $<TARGET_FILE:kestovar>
    ${CMAKE_CURRENT_BINARY_DIR}/walkthrough-worklist)
set_tests_properties(walkthrough_worklist PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS dicom)
