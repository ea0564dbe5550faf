# The help pages and the help file built from them.
#
# help/ holds our pages (HTML and one style sheet) and the HTML Help project that binds
# them into Kestovar_Full_HD_Help.chm (.hhp project, .hhc contents, .hhk index). The
# station's Help command looks in the program's folder for the CHM and, when no CHM
# viewer is installed, for the same pages under help/. So the build puts both beside
# the program:
#   build/Kestovar_Full_HD_Help.chm
#   build/help/index.html ... build/help/kestovar-help.css
# and the installation keeps that shape through relative links, valid for any prefix:
#   <prefix>/share/kestovar/help/                 the pages and the CHM
#   <prefix>/lib/kestovar/Kestovar_Full_HD_Help.chm -> ../../share/kestovar/help/Kestovar_Full_HD_Help.chm
#   <prefix>/lib/kestovar/help                    -> ../../share/kestovar/help

find_program(KESTOVAR_CHMCMD chmcmd)
if(NOT KESTOVAR_CHMCMD)
  message(FATAL_ERROR
    "chmcmd was not found. It compiles the help file Kestovar_Full_HD_Help.chm and comes "
    "with Debian's fp-utils package: run scripts/setup, which installs it, then configure again.")
endif()

set(KESTOVAR_HELP_NAME Kestovar_Full_HD_Help)
set(kestovar_help_source ${PROJECT_SOURCE_DIR}/help)
file(GLOB kestovar_help_pages CONFIGURE_DEPENDS
  ${kestovar_help_source}/*.html ${kestovar_help_source}/*.css)
set(kestovar_help_project
  ${kestovar_help_source}/${KESTOVAR_HELP_NAME}.hhp
  ${kestovar_help_source}/${KESTOVAR_HELP_NAME}.hhc
  ${kestovar_help_source}/${KESTOVAR_HELP_NAME}.hhk)
# chmcmd writes its output beside the project, so it works on a copy.
set(kestovar_help_stage ${CMAKE_BINARY_DIR}/help-chm)
set(kestovar_help_pages_dir ${CMAKE_BINARY_DIR}/help)
set(kestovar_help_chm ${CMAKE_BINARY_DIR}/${KESTOVAR_HELP_NAME}.chm)

# chmcmd reports a link to a missing page or anchor, and a page the project does not list,
# as a warning or an error but still succeeds; the help is refused on either, so a broken
# link never reaches an installation.
set(kestovar_help_compile ${CMAKE_BINARY_DIR}/help-compile.cmake)
file(WRITE ${kestovar_help_compile} [=[
execute_process(COMMAND "${CHMCMD}" --verbosity 1 "${PROJECT}"
  WORKING_DIRECTORY "${STAGE}" OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc)
string(REGEX MATCHALL "(Warning|Error): [^\n]*" problems "${out}")
if(NOT rc EQUAL 0 OR problems)
  list(JOIN problems "\n  " problems)
  message(FATAL_ERROR "chmcmd could not build the help file cleanly (status ${rc}):\n  ${problems}\n${out}")
endif()
]=])

set(kestovar_help_page_copies)
foreach(page ${kestovar_help_pages})
  get_filename_component(name ${page} NAME)
  list(APPEND kestovar_help_page_copies ${kestovar_help_pages_dir}/${name})
endforeach()

# The CHM is copied to its place only after chmcmd succeeded, so a failed compile never
# leaves a half-written file that counts as up to date. The pages folder is made afresh,
# so a page removed from help/ does not linger beside the program.
add_custom_command(
  OUTPUT ${kestovar_help_chm} ${kestovar_help_page_copies}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${kestovar_help_stage} ${kestovar_help_pages_dir}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${kestovar_help_stage} ${kestovar_help_pages_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${kestovar_help_pages} ${kestovar_help_project} ${kestovar_help_stage}
  COMMAND ${CMAKE_COMMAND} -DCHMCMD=${KESTOVAR_CHMCMD} -DSTAGE=${kestovar_help_stage}
    -DPROJECT=${KESTOVAR_HELP_NAME}.hhp -P ${kestovar_help_compile}
  COMMAND ${CMAKE_COMMAND} -E copy ${kestovar_help_pages} ${kestovar_help_pages_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${kestovar_help_stage}/${KESTOVAR_HELP_NAME}.chm ${kestovar_help_chm}
  DEPENDS ${kestovar_help_pages} ${kestovar_help_project}
  COMMENT "Building the help file ${KESTOVAR_HELP_NAME}.chm and its pages"
  VERBATIM)
add_custom_target(kestovar_help ALL DEPENDS ${kestovar_help_chm} ${kestovar_help_page_copies})
if(TARGET kestovar)
  # Whoever builds the program can press Help in it.
  add_dependencies(kestovar kestovar_help)
endif()

# Installation. The folders are relative to the prefix; the links between them are
# computed from the two, so they stay right if either moves.
if(NOT DEFINED KESTOVAR_INSTALL_PROGRAM_DIR)
  set(KESTOVAR_INSTALL_PROGRAM_DIR lib/kestovar)
endif()
set(KESTOVAR_INSTALL_HELP_DIR share/kestovar/help)
file(RELATIVE_PATH kestovar_help_link_target
  /prefix/${KESTOVAR_INSTALL_PROGRAM_DIR} /prefix/${KESTOVAR_INSTALL_HELP_DIR})

install(FILES ${kestovar_help_pages} ${kestovar_help_chm} DESTINATION ${KESTOVAR_INSTALL_HELP_DIR})
install(CODE "set(kestovar_help_program_dir \"${KESTOVAR_INSTALL_PROGRAM_DIR}\")
set(kestovar_help_link_target \"${kestovar_help_link_target}\")
set(kestovar_help_file \"${KESTOVAR_HELP_NAME}.chm\")")
# DESTDIR and the prefix together name the staging place of `cmake --install` with
# DESTDIR as well as CPack's. The links are listed in the install manifest with the
# files, so whatever removes an installation removes them too.
install(CODE [[
  set(kestovar_help_at "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${kestovar_help_program_dir}")
  file(MAKE_DIRECTORY "${kestovar_help_at}")
  foreach(kestovar_help_link IN ITEMS
      "${kestovar_help_file}|${kestovar_help_link_target}/${kestovar_help_file}"
      "help|${kestovar_help_link_target}")
    string(REPLACE "|" ";" kestovar_help_link "${kestovar_help_link}")
    list(GET kestovar_help_link 0 kestovar_help_link_name)
    list(GET kestovar_help_link 1 kestovar_help_link_to)
    set(kestovar_help_link "${kestovar_help_at}/${kestovar_help_link_name}")
    message(STATUS "Installing: ${kestovar_help_link} -> ${kestovar_help_link_to}")
    file(CREATE_LINK "${kestovar_help_link_to}" "${kestovar_help_link}" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${kestovar_help_link}")
  endforeach()
]])
