# Install layout (GNU folders under the prefix):
#   bin/                      Mindrel, mindrel-list, keel, mktree
#   share/mindrel/            the files the program reads beside itself (the
#                             pictures, the alert sound, the help collection
#                             in Help/); the programs find them as
#                             ../share/mindrel from bin/ (ProgramFilesFolder)
#   share/applications/       Mindrel.desktop
#   share/icons/hicolor/      the application icon "mindrel"
#   share/doc/mindrel/        README
# and the Debian package made from it by `cpack -G DEB`.
include(GNUInstallDirs)

set(MINDREL_PROGRAMS mindrel-list keel mktree)
if(MINDREL_GUI)
  list(PREPEND MINDREL_PROGRAMS Mindrel)
endif()
install(TARGETS ${MINDREL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(MINDREL_GUI)
  # A Windows program finds its files beside itself.
  if(WIN32)
    set(MINDREL_PROGRAM_FILES_DIR ${CMAKE_INSTALL_BINDIR})
  else()
    set(MINDREL_PROGRAM_FILES_DIR ${CMAKE_INSTALL_DATADIR}/mindrel)
  endif()
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/program/ DESTINATION ${MINDREL_PROGRAM_FILES_DIR})
  install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Help/Mindrel.qhc ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Help/Mindrel.qch
          DESTINATION ${MINDREL_PROGRAM_FILES_DIR}/Help)
  if(NOT WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/Mindrel.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(DIRECTORY ${MINDREL_ICON_OUTPUT}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  endif()
endif()
# Named after the package, as the distribution's documentation folders are.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mindrel)

set(CPACK_PACKAGE_NAME mindrel)
set(CPACK_PACKAGE_VENDOR "Mindrel")
set(CPACK_PACKAGE_CONTACT "Mindrel developers <mindrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Anniversary reminder for genealogists")
set(CPACK_PACKAGE_DESCRIPTION
    "Mindrel reads family-tree folders read-only and lists the birthdays, wedding, divorce and death anniversaries and other dates that fall within the next days, with the user's own events. Started at log-on it stays out of sight unless something is due, and then plays a sound and sends a desktop notification. mindrel-list prints the same alerts, or an iCalendar document, on the terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs link come from dpkg-shlibdeps. The help
# collection is an SQLite file that Qt Help opens through Qt's SQL driver
# plugin, loaded at run time and so named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session, pulseaudio | pipewire-pulse")
include(CPack)
