# The built station on a real X server, with and without a window manager, checked
# from the outside (stacking order, pixels on the screen).
foreach(case message-bare message-openbox splash fullscreen-bare fullscreen-openbox
    fullscreen-two-bare fullscreen-two-openbox wayland)
  add_test(NAME desktop_${case}
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/desktop_test.sh ${PROJECT_SOURCE_DIR} $<TARGET_FILE:kestovar> ${case})
  set_tests_properties(desktop_${case} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180 LABELS desktop)
endforeach()
