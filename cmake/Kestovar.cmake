# kestovar_add_library(<folder> [DEPS targets...])
# One static library per source folder, named kestovar_<folder> with the alias
# kestovar::<folder>. Sources are every .cpp/.h of the folder, so adding a file
# needs no CMake edit.
function(kestovar_add_library folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT sources)
    set(sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(kestovar_${folder} STATIC ${sources})
  add_library(kestovar::${folder} ALIAS kestovar_${folder})
  target_include_directories(kestovar_${folder} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(kestovar_${folder} PUBLIC ${ARG_DEPS})
endfunction()

# kestovar_add_test(<name> SOURCES files... DEPS targets... [QT] [LABELS l...])
# One GoogleTest executable; its cases are registered with CTest one by one.
# QT gives the executable a QApplication on the offscreen platform.
function(kestovar_add_test name)
  cmake_parse_arguments(ARG "QT" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  # An empty label list would vanish from the property list below and make the next
  # property's name a label: the test folder's name stands in.
  if(NOT ARG_LABELS)
    get_filename_component(ARG_LABELS ${CMAKE_CURRENT_LIST_DIR} NAME)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE kestovar_test_qt_main)
  else()
    target_link_libraries(${name} PRIVATE kestovar_test_main)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES
      TIMEOUT ${ARG_TIMEOUT}
      LABELS "${ARG_LABELS}"
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KESTOVAR_TEST_DATA=${CMAKE_BINARY_DIR}/testdata;KESTOVAR_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
