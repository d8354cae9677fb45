# SPDX-License-Identifier: MIT
# Installs the program with its desktop entry, icons and AppStream metainfo in the standard
# places, and builds a Debian package of it: cpack -G DEB in the build folder.

include(GNUInstallDirs)

set(PICTAVO_APP_ID org.pictavo.Pictavo)

install(TARGETS pictavo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS pictavo_codecs_module LIBRARY DESTINATION ${PICTAVO_CODECS_INSTALL_DIR})
install(FILES data/${PICTAVO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/${PICTAVO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES data/icons/${PICTAVO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES data/icons/hicolor/${size}x${size}/${PICTAVO_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# The Debian revision of the package; the changelog's newest entry must name this version.
set(PICTAVO_DEB_REVISION 1)
set(PICTAVO_DEB_VERSION ${PROJECT_VERSION}-${PICTAVO_DEB_REVISION})
file(STRINGS data/debian/changelog newest_entry LIMIT_COUNT 1)
if(NOT newest_entry MATCHES "^pictavo \\(${PICTAVO_DEB_VERSION}\\) ")
  message(FATAL_ERROR "data/debian/changelog must begin with the entry of ${PICTAVO_DEB_VERSION}")
endif()

# The manual page and the changelog, compressed as Debian's policy wants them: gzip -9n
# (no name or time stamp, so the same sources make the same package). They are built with
# the program, so that cpack after a build of the program alone finds them.
set(PICTAVO_VERSION ${PROJECT_VERSION})
configure_file(data/pictavo.1 pictavo.1 @ONLY)
find_program(GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT pictavo.1.gz changelog.Debian.gz
  COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_BINARY_DIR}/pictavo.1 > pictavo.1.gz
  COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/data/debian/changelog > changelog.Debian.gz
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/pictavo.1 data/debian/changelog
  VERBATIM)
add_custom_target(pictavo_docs DEPENDS pictavo.1.gz changelog.Debian.gz)
add_dependencies(pictavo pictavo_docs)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pictavo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/debian/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pictavo)
install(FILES data/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME pictavo)

set(CPACK_PACKAGE_NAME pictavo)
set(CPACK_PACKAGE_VENDOR "Pictavo")
set(CPACK_PACKAGE_CONTACT "Pictavo developers <developers@pictavo.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small, fast picture viewer and picture-file tool")
# One string (a list of several would be joined with ";"), in lines that dpkg shows as
# they are: at most 80 characters with the space it puts before each.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Browses folders and shows JPEG, BMP and GIF pictures at their natural size,\n"
       "with scroll bars to pan a large photo; PNG, WebP, TIFF, AVIF, HEIC and JPEG XL\n"
       "pictures opened from a file manager or pasted are shown too. Runs a slide\n"
       "show through a folder, saves a picture as a bitmap, deletes pictures to the\n"
       "desktop's trash, copies and pastes pictures through the clipboard, and sets\n"
       "the desktop wall paper.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${PICTAVO_DEB_REVISION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its X11 platform and JPEG/GIF readers as plugins, which dpkg-shlibdeps cannot see;
# they come with libqt6gui6, which the computed dependencies already name. Its WebP and TIFF
# readers are plugins too, of qt6-image-formats-plugins: a Depends, since a WebP or TIFF the
# desktop entry claims would otherwise fail to open. libheif1 (with its HEVC and AV1
# decoders) and libjxl0.7 are linked, so shlibdeps names them. The Japanese messages need a
# font that has their glyphs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-image-formats-plugins")
# Setting the GNOME-family wall paper runs the gsettings tool; Qt's own translations put the
# buttons of its boxes and dialogs in the person's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libglib2.0-bin, qt6-translations-l10n")
set(CPACK_GENERATOR DEB)
include(CPack)
