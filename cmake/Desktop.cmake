# Quillet as an installed desktop application: the program, its desktop entry, its icon in the
# hicolor theme and its AppStream metainfo (cmake --install), and a .deb made by CPack whose
# dependencies dpkg-shlibdeps works out from the libraries the program links.
include(GNUInstallDirs)
find_package(Qt6 REQUIRED COMPONENTS DBus Svg)

# The code reads the application id from common/AppId.h; the installed files are named by it.
target_compile_definitions(quillet_common PUBLIC QUILLET_APP_ID="${QUILLET_APP_ID}")
# The running instance takes the files of later starts over the session bus.
target_link_libraries(quillet_platform PUBLIC Qt6::DBus)

set(QUILLET_RELEASE_DATE "2026-12-08")
# Who signs the Debian changelog and the .deb (set before the changelog is configured).
set(QUILLET_PACKAGE_MAINTAINER "The Quillet developers <quillet@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the .deb")
# The same day as the Debian changelog writes it.
set(QUILLET_RELEASE_DATE_RFC2822 "Tue, 08 Dec 2026 00:00:00 +0000")
set(QUILLET_FROM_DESKTOP_OPTION "--from-desktop-entry")
# What the engine opens: MPEG audio through libmpg123, the rest through libsndfile.
set(QUILLET_MIME_TYPE_LIST
    audio/mpeg audio/mp2 audio/x-wav audio/wav audio/x-aiff audio/x-aifc audio/basic
    audio/flac audio/ogg audio/x-vorbis+ogg audio/x-opus+ogg audio/x-flac+ogg audio/x-voc)
list(JOIN QUILLET_MIME_TYPE_LIST ";" QUILLET_MIME_TYPES)
string(APPEND QUILLET_MIME_TYPES ";")
set(QUILLET_METAINFO_MEDIATYPES "")
foreach(type IN LISTS QUILLET_MIME_TYPE_LIST)
  string(APPEND QUILLET_METAINFO_MEDIATYPES "    <mediatype>${type}</mediatype>\n")
endforeach()

set(QUILLET_DESKTOP_FILE ${PROJECT_BINARY_DIR}/data/${QUILLET_APP_ID}.desktop)
set(QUILLET_METAINFO_FILE ${PROJECT_BINARY_DIR}/data/${QUILLET_APP_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/data/quillet.desktop.in ${QUILLET_DESKTOP_FILE} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/quillet.metainfo.xml.in ${QUILLET_METAINFO_FILE} @ONLY)

# The manual page and the Debian changelog, compressed as Debian installs them (gzip -9n: no
# name or time stamp inside, so the same sources give the same bytes).
find_program(QUILLET_GZIP gzip REQUIRED)
set(QUILLET_DOC_DIR ${PROJECT_BINARY_DIR}/doc)
configure_file(${PROJECT_SOURCE_DIR}/data/quillet.1.in ${QUILLET_DOC_DIR}/quillet.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/changelog.in ${QUILLET_DOC_DIR}/changelog @ONLY)
set(doc_gz)
foreach(doc quillet.1 changelog)
  add_custom_command(OUTPUT ${QUILLET_DOC_DIR}/${doc}.gz
    COMMAND ${QUILLET_GZIP} -9nkf ${QUILLET_DOC_DIR}/${doc}
    DEPENDS ${QUILLET_DOC_DIR}/${doc}
    COMMENT "Compressing ${doc}")
  list(APPEND doc_gz ${QUILLET_DOC_DIR}/${doc}.gz)
endforeach()
add_custom_target(quillet_docs ALL DEPENDS ${doc_gz})

# PNG renderings of the SVG icon, for menus and software centres that want fixed sizes.
set(QUILLET_ICON_SVG ${PROJECT_SOURCE_DIR}/resources/pictures/quillet.svg)
set(QUILLET_ICON_SIZES 16 24 32 48 64 128 256)
set(QUILLET_ICON_DIR ${PROJECT_BINARY_DIR}/icons)
add_executable(quillet_render_icon ${PROJECT_SOURCE_DIR}/tools/render_icon.cpp)
target_link_libraries(quillet_render_icon PRIVATE Qt6::Gui Qt6::Svg)
if(QUILLET_SANITIZE)
  # A build step, not part of the program: it runs during the build, so no sanitizer reports.
  target_compile_options(quillet_render_icon PRIVATE -fno-sanitize=all)
  target_link_options(quillet_render_icon PRIVATE -fno-sanitize=all)
endif()
set(icon_pngs)
foreach(size IN LISTS QUILLET_ICON_SIZES)
  list(APPEND icon_pngs ${QUILLET_ICON_DIR}/${size}x${size}/apps/${QUILLET_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${icon_pngs}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:quillet_render_icon> ${QUILLET_ICON_SVG} ${QUILLET_ICON_DIR}
          ${QUILLET_APP_ID} ${QUILLET_ICON_SIZES}
  DEPENDS quillet_render_icon ${QUILLET_ICON_SVG}
  COMMENT "Rendering the application icon")
add_custom_target(quillet_icons ALL DEPENDS ${icon_pngs})

# The window pictures, rendered from their SVGs into the program at the sizes it draws them
# (16 and 32 pixels, the application icon also 48), so that a start on a screen of scale 1 parses
# no SVG and loads no SVG library; other scales render the SVGs as before (shell/Look.cpp).
set(QUILLET_PICTURE_DIR ${PROJECT_SOURCE_DIR}/resources/pictures)
file(GLOB QUILLET_PICTURE_SVGS CONFIGURE_DEPENDS ${QUILLET_PICTURE_DIR}/*.svg)
list(REMOVE_ITEM QUILLET_PICTURE_SVGS ${QUILLET_ICON_SVG})
set(QUILLET_PICTURE_SOURCE ${PROJECT_BINARY_DIR}/pictures/PictureRenderings.cpp)
add_executable(quillet_render_pictures ${PROJECT_SOURCE_DIR}/tools/render_pictures.cpp)
target_link_libraries(quillet_render_pictures PRIVATE Qt6::Gui Qt6::Svg)
if(QUILLET_SANITIZE)
  target_compile_options(quillet_render_pictures PRIVATE -fno-sanitize=all)
  target_link_options(quillet_render_pictures PRIVATE -fno-sanitize=all)
endif()
add_custom_command(OUTPUT ${QUILLET_PICTURE_SOURCE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/pictures
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:quillet_render_pictures> ${QUILLET_PICTURE_SOURCE}
          16,32 ${QUILLET_PICTURE_SVGS} 16,32,48 ${QUILLET_ICON_SVG}
  DEPENDS quillet_render_pictures ${QUILLET_PICTURE_SVGS} ${QUILLET_ICON_SVG}
  COMMENT "Rendering the window pictures")
add_custom_target(quillet_pictures DEPENDS ${QUILLET_PICTURE_SOURCE})
target_sources(quillet_shell PRIVATE ${QUILLET_PICTURE_SOURCE})
set_source_files_properties(${QUILLET_PICTURE_SOURCE} TARGET_DIRECTORY quillet_shell
                            PROPERTIES GENERATED ON SKIP_AUTOGEN ON)
add_dependencies(quillet_shell quillet_pictures)

install(TARGETS quillet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS quillet_tags LIBRARY DESTINATION ${QUILLET_TAG_MODULE_DIR})
install(FILES ${QUILLET_DESKTOP_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUILLET_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QUILLET_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${QUILLET_APP_ID}.svg)
foreach(size IN LISTS QUILLET_ICON_SIZES)
  install(FILES ${QUILLET_ICON_DIR}/${size}x${size}/apps/${QUILLET_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${QUILLET_DOC_DIR}/quillet.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The licence and the changes, where Debian looks for them (share/doc/quillet).
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright ${QUILLET_DOC_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillet)

# The .deb. Its Depends come from dpkg-shlibdeps (dpkg-dev), plus what the program needs but does
# not link: the SVG plugins that draw its pictures, the toolkit's Chinese texts and the Kai font.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "The Quillet developers")
set(CPACK_PACKAGE_CONTACT "${QUILLET_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio player for MP3 and WAVE files with synchronised lyrics")
# Debian shows each line as it is: at most 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Quillet plays a playlist of MP3 and WAVE files track by track or in a loop,\n"
    "and shows the current line of each track's LRC lyric file as it plays.\n"
    "A lyric editor stamps lines with the play time.\n"
    "The interface is in Simplified Chinese.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Used without being linked, so dpkg-shlibdeps cannot see them: the SVG plugin, the Chinese Qt
# texts, the Kai font, and SDL2 (opened when first needed).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6svg6, qt6-translations-l10n, fonts-arphic-ukai, libsdl2-2.0-0 (>= ${SDL2_VERSION})")
include(CPack)
