# Installation layout and the Debian package.
#
#   <prefix>/lib/kestovar/kestovar        the program; its folder is the program's folder
#                                         (the help file's link lives beside it)
#   <prefix>/bin/kestovar                 -> ../lib/kestovar/kestovar
#   <prefix>/share/applications/org.kestovar.Kestovar.desktop
#   <prefix>/share/metainfo/org.kestovar.Kestovar.metainfo.xml
#   <prefix>/share/icons/hicolor/scalable/apps/org.kestovar.Kestovar.svg
#   <prefix>/share/man/man1/kestovar.1.gz
#   <prefix>/lib/udev/rules.d/70-kestovar.rules
#   <prefix>/share/doc/kestovar/          copyright, changelog.gz, DEPLOYMENT.md.gz
#   <prefix>/share/lintian/overrides/kestovar
#
# The help pages have their own rules (Help.cmake). Tests, benchmarks and tools have no
# install rules: the package holds only the program and what it needs at run time.
# The machine-wide settings folder /var/lib/kestovar is made by the package's postinst,
# not installed here (see packaging/postinst for its mode).
#
# Paths are spelled out instead of taken from GNUInstallDirs: with the prefix /usr it
# would put the program under lib/x86_64-linux-gnu, and the layout above is fixed.

set(KESTOVAR_APP_ID org.kestovar.Kestovar)
set(kestovar_packaging ${PROJECT_SOURCE_DIR}/packaging)

# `install` and CPack's preinstall step build only what they install, not the tests
# and benchmarks of the shared build tree; scripts/package builds kestovar_install_set.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

if(TARGET kestovar)
  # Full RELRO: the program's symbol table is resolved at start and then made
  # read-only, as Debian's own packages are linked.
  target_link_options(kestovar PRIVATE LINKER:-z,relro LINKER:-z,now)
  install(TARGETS kestovar RUNTIME DESTINATION lib/kestovar)
  # A stripped install (the package) also drops the compiler's version notes, as
  # Debian's dh_strip does.
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/kestovar/kestovar\")
    endif()
  ")
endif()

# <prefix>/bin/kestovar: a relative link, so the installed tree can be moved (DESTDIR,
# the package's staging folder) and the program still finds its own folder through
# /proc/self/exe.
install(CODE [[
  set(kestovar_bin "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
  file(MAKE_DIRECTORY "${kestovar_bin}")
  message(STATUS "Installing: ${kestovar_bin}/kestovar -> ../lib/kestovar/kestovar")
  file(CREATE_LINK ../lib/kestovar/kestovar "${kestovar_bin}/kestovar" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${kestovar_bin}/kestovar")
]])

install(FILES ${kestovar_packaging}/${KESTOVAR_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${kestovar_packaging}/${KESTOVAR_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${kestovar_packaging}/${KESTOVAR_APP_ID}.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${kestovar_packaging}/70-kestovar.rules DESTINATION lib/udev/rules.d)
install(FILES ${kestovar_packaging}/copyright DESTINATION share/doc/kestovar)
install(FILES ${kestovar_packaging}/kestovar.lintian-overrides
  DESTINATION share/lintian/overrides RENAME kestovar)

# Debian wants manual pages and longer documents compressed, with no name or time
# stamp in the gzip header so that two builds give the same bytes.
function(kestovar_install_gzipped source destination name)
  install(CODE "
    set(kestovar_dest \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}\")
    file(MAKE_DIRECTORY \"\${kestovar_dest}\")
    message(STATUS \"Installing: \${kestovar_dest}/${name}\")
    execute_process(COMMAND gzip -9 -n -c \"${source}\"
      OUTPUT_FILE \"\${kestovar_dest}/${name}\" RESULT_VARIABLE kestovar_rc)
    if(NOT kestovar_rc EQUAL 0)
      message(FATAL_ERROR \"gzip ${source} failed: \${kestovar_rc}\")
    endif()
    file(CHMOD \"\${kestovar_dest}/${name}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${kestovar_dest}/${name}\")
  ")
endfunction()
kestovar_install_gzipped(${kestovar_packaging}/kestovar.1 share/man/man1 kestovar.1.gz)
kestovar_install_gzipped(${kestovar_packaging}/changelog share/doc/kestovar changelog.gz)
kestovar_install_gzipped(${PROJECT_SOURCE_DIR}/docs/DEPLOYMENT.md share/doc/kestovar DEPLOYMENT.md.gz)

# kestovar_install_set: everything the install rules take from the build tree: the
# program and every target that builds by default outside src/, tests/, bench/,
# fuzz/ and tools/ (the help build). Collected once the whole tree is read.
function(kestovar_collect_install_set dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  set(found)
  foreach(target ${targets})
    get_target_property(excluded ${target} EXCLUDE_FROM_ALL)
    get_target_property(type ${target} TYPE)
    if(NOT excluded AND NOT type STREQUAL "INTERFACE_LIBRARY")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${subdir})
    if(NOT relative MATCHES "^(src|tests|bench|fuzz|tools)(/|$)")
      kestovar_collect_install_set(${subdir} more)
      list(APPEND found ${more})
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(kestovar_define_install_set)
  kestovar_collect_install_set(${PROJECT_SOURCE_DIR} targets)
  add_custom_target(kestovar_install_set)
  if(TARGET kestovar)
    add_dependencies(kestovar_install_set kestovar)
  endif()
  if(targets)
    add_dependencies(kestovar_install_set ${targets})
  endif()
endfunction()
cmake_language(DEFER CALL kestovar_define_install_set)

# ---- The Debian package (cpack -G DEB; scripts/package) ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestovar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestovar team")
set(CPACK_PACKAGE_CONTACT "Kestovar team <support@kestovar.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "capture station for USB surgical cameras")
# Lines of at most 80 characters and an empty line between paragraphs, as Debian
# wants them; CPack adds the summary in front and the leading blanks.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Kestovar is the capture station for Kestovar Full HD and Kestovar Pro USB"
  "surgical cameras. The operator watches the camera's live picture, records"
  "movies with the sound of the camera microphone into AVI files, takes still"
  "pictures as JPEG files and keeps the case information of each movie (doctor,"
  "patient, hospital, comment) in a small file beside it."
  ""
  "The same window lists the movies and pictures of the storage folder with"
  "thumbnails, plays movies back, shows pictures, and renames or deletes"
  "captures. Settings dialogs set the camera's image controls, the recording"
  "quality and frame rate, the size limit of each movie file and the storage"
  "folder."
  ""
  "The package lets the user of the local seat use the supported cameras"
  "(udev rule) and makes the settings folder /var/lib/kestovar, shared by every"
  "operator of the machine.")

# Depends: the libraries the program links, found by dpkg-shlibdeps, and by hand what
# it loads or asks for without linking: the xcb window system and the JPEG and SVG
# image plugins come with libqt6gui6 and libqt6svg6 (both linked); the skin asks for
# Arial, which fontconfig maps to Liberation Sans. Qt's Wayland plugin is not linked
# either: without it Qt falls back to XWayland on a Wayland desktop (Debian 12's
# default), so whether the station ran natively depended on what else was installed.
# It always runs natively there: the compositor then keeps messages with their window,
# gives real full screen and scales on high-density screens; QT_QPA_PLATFORM=xcb still
# chooses X11 when wanted.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2 | fonts-liberation, qt6-wayland")
# Sound needs a server on the desktop; help and folders open through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, xdg-utils")

set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${kestovar_packaging}/postinst ${kestovar_packaging}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
