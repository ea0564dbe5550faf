# The help: the CHM and the pages the build puts beside the program, the choice
# between them by what the desktop has installed, and the Help menu item handing the
# choice to the desktop. The executable lies in the program's folder, as the station
# does, and needs the help built.
kestovar_add_test(help_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/HelpFiles_test.cpp ${CMAKE_CURRENT_LIST_DIR}/HelpLocator_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HelpCommand_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChmDirectory.cpp ${CMAKE_CURRENT_LIST_DIR}/ChmDirectory.h
  DEPS kestovar::app QT
  LABELS app)
target_compile_definitions(help_test PRIVATE KESTOVAR_PROGRAM_DIR="$<TARGET_FILE_DIR:kestovar>"
  KESTOVAR_HELP_SOURCE_DIR="${PROJECT_SOURCE_DIR}/help")
add_dependencies(help_test kestovar_help)
