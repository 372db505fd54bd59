# Installation layout and the Debian package. The help document is installed
# with the program (app/CMakeLists.txt) to share/tessivar/help, where
# HelpFileForExecutable (app/UnitFormMain.cpp) looks for it.

include(GNUInstallDirs)

set(TESSIVAR_DATA_SUBDIR "${CMAKE_INSTALL_DATADIR}/tessivar")

file(GLOB TESSIVAR_ICON_FILES CONFIGURE_DEPENDS
  "${CMAKE_SOURCE_DIR}/forms/icons/*.svg" "${CMAKE_SOURCE_DIR}/forms/icons/*.png")
file(GLOB TESSIVAR_TRANSLATION_FILES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/translations/*.qm")

# Manual pages, compressed as Debian wants them.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(man_pages "")
foreach(page tessivar.1 tessivar-jet.1 ja/tessivar.1 ja/tessivar-jet.1)
  set(source "${CMAKE_SOURCE_DIR}/packaging/man/${page}")
  set(compressed "${CMAKE_BINARY_DIR}/man/${page}.gz")
  get_filename_component(compressed_dir "${compressed}" DIRECTORY)
  add_custom_command(OUTPUT "${compressed}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${compressed_dir}"
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c "${source}" > "${compressed}"
    DEPENDS "${source}"
    COMMENT "Compressing manual page ${page}")
  list(APPEND man_pages "${compressed}")
endforeach()
add_custom_target(tessivar_man ALL DEPENDS ${man_pages})

install(FILES "${CMAKE_BINARY_DIR}/man/tessivar.1.gz" "${CMAKE_BINARY_DIR}/man/tessivar-jet.1.gz"
  DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${CMAKE_BINARY_DIR}/man/ja/tessivar.1.gz" "${CMAKE_BINARY_DIR}/man/ja/tessivar-jet.1.gz"
  DESTINATION "${CMAKE_INSTALL_MANDIR}/ja/man1")
install(FILES "${CMAKE_SOURCE_DIR}/packaging/tessivar.desktop"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${CMAKE_SOURCE_DIR}/forms/icons/tessivar.svg"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps" RENAME tessivar.svg)
foreach(size 16 24 32 48 64 128 256)
  if(EXISTS "${CMAKE_SOURCE_DIR}/forms/icons/tessivar-${size}.png")
    install(FILES "${CMAKE_SOURCE_DIR}/forms/icons/tessivar-${size}.png"
      DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps" RENAME tessivar.png)
  endif()
endforeach()
if(TESSIVAR_ICON_FILES)
  install(FILES ${TESSIVAR_ICON_FILES} DESTINATION "${TESSIVAR_DATA_SUBDIR}/icons")
endif()
if(TESSIVAR_TRANSLATION_FILES)
  install(FILES ${TESSIVAR_TRANSLATION_FILES} DESTINATION "${TESSIVAR_DATA_SUBDIR}/translations")
endif()
install(FILES "${CMAKE_SOURCE_DIR}/packaging/io.github.tessivar.Tessivar.metainfo.xml"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${CMAKE_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/tessivar")
# Debian wants the copyright file as it is and the changelog compressed.
set(changelog_gz "${CMAKE_BINARY_DIR}/packaging/changelog.gz")
add_custom_command(OUTPUT "${changelog_gz}"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/packaging"
  COMMAND ${GZIP_EXECUTABLE} -9 -n -c "${CMAKE_SOURCE_DIR}/packaging/debian/changelog" > "${changelog_gz}"
  DEPENDS "${CMAKE_SOURCE_DIR}/packaging/debian/changelog"
  COMMENT "Compressing the changelog")
add_custom_target(tessivar_changelog ALL DEPENDS "${changelog_gz}")
install(FILES "${CMAKE_SOURCE_DIR}/packaging/debian/copyright" "${changelog_gz}"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/tessivar")

# The Debian package: `cpack -G DEB --config build/CPackConfig.cmake`.
# dpkg-shlibdeps works out the libraries (Qt, libstdc++, libc); what the
# program needs beyond linked libraries is listed by hand: a Japanese font
# for the window; recommended are Qt's Japanese strings, xdg-open for the
# help and the Tahoma-compatible face the window prefers (fonts-wine).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessivar)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Tessivar")
set(CPACK_PACKAGE_CONTACT "Tessivar developers <tessivar@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compacts Microsoft Access databases (.mdb)")
# The long description, wrapped for dpkg and lintian (at most 80 columns);
# CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tessivar compacts Microsoft Access databases (Jet 3.x and Jet 4.x .mdb
files) into a fresh, verified copy, in the format and with the database
password you ask for. It has its own native Jet engine and needs no
Microsoft software.
.
It has a Japanese window and a headless command line for cron jobs;
tessivar-jet inspects and checks databases and compacts many files in
place, keeping their owner, group and mode.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk | fonts-vlgothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n, fonts-wine")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mdbtools")
include(CPack)
