# The program and engine tests run as an ordinary account in the video and audio groups
# (needs root to create the account; skipped otherwise).
add_test(NAME operator_account_test
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/operator_account_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(operator_account_test PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS platform)
