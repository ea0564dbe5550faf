# The skin toolkit: images, image buttons and controls, sliders, menus, scroll bars.
kestovar_add_test(ui_skin_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/skin_test.cpp ${CMAKE_CURRENT_LIST_DIR}/button_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/controls_test.cpp
  DEPS kestovar::ui QT LABELS ui)
kestovar_add_test(ui_slider_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/slider_test.cpp
  DEPS kestovar::ui QT LABELS ui)
kestovar_add_test(ui_menu_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/menu_test.cpp
  DEPS kestovar::ui QT LABELS ui)
kestovar_add_test(ui_scroll_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/scroll_test.cpp
  DEPS kestovar::ui QT LABELS ui)
