# Installs the program with its desktop entry, icons and AppStream metainfo in the standard
# places, and builds a Debian package of it: cpack -G DEB in the build folder.

include(GNUInstallDirs)

set(PICTAVO_APP_ID org.pictavo.Pictavo)

install(TARGETS pictavo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/${PICTAVO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/${PICTAVO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES data/icons/${PICTAVO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES data/icons/hicolor/${size}x${size}/${PICTAVO_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

set(CPACK_PACKAGE_NAME pictavo)
set(CPACK_PACKAGE_VENDOR "Pictavo")
set(CPACK_PACKAGE_CONTACT "Pictavo developers <developers@pictavo.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small, fast picture viewer and picture-file tool")
set(CPACK_PACKAGE_DESCRIPTION
    "Browses folders and shows JPEG, BMP and GIF pictures at their natural size; runs a slide\n"
    "show; saves a picture as a bitmap; deletes to the trash; copies and pastes pictures through\n"
    "the clipboard; sets the desktop wall paper.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its X11 platform and JPEG/GIF readers as plugins, which dpkg-shlibdeps cannot see;
# they come with libqt6gui6, which the computed dependencies already name. The Japanese
# messages need a font that has their glyphs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic")
# Setting the GNOME-family wall paper runs the gsettings tool; Qt's own translations put the
# buttons of its boxes and dialogs in the person's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libglib2.0-bin, qt6-translations-l10n")
set(CPACK_GENERATOR DEB)
include(CPack)
