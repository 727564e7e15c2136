# What `cmake --install` puts under the prefix, and the Debian package CPack makes of it:
# both programs, the menu entry and the same entry as an autostart, the icon in every size
# a desktop asks for, manual pages, and the copyright and changelog Debian expects.
include(GNUInstallDirs)

# One name for the package, the desktop entry, the icon and the program: a user's own
# ~/.config/autostart/kestrane.desktop overrides the installed one only under the same name.
set(kestrane_id kestrane)
set(kestrane_packaging "${PROJECT_SOURCE_DIR}/packaging")
set(kestrane_staged "${PROJECT_BINARY_DIR}/packaging")
set(KESTRANE_MAINTAINER "Kestrane Developers <dev@kestrane.example.com>")

# The homepage is the site the status menu links to; read from the program so the two
# cannot drift apart.
file(STRINGS "${PROJECT_SOURCE_DIR}/QuorixMacApp/AppDelegate.h" site_line
     REGEX "productWebSite\\{\"[^\"]+\"\\}")
if(NOT site_line MATCHES "productWebSite\\{\"([^\"]+)\"\\}")
  message(FATAL_ERROR "productWebSite not found in QuorixMacApp/AppDelegate.h")
endif()
set(kestrane_homepage "${CMAKE_MATCH_1}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${PROJECT_SOURCE_DIR}/QuorixMacApp/AppDelegate.h"
             "${kestrane_packaging}/${kestrane_id}.desktop")

install(TARGETS kestrane kestrane-cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${kestrane_packaging}/${kestrane_id}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")

# Desktops read autostart entries from $XDG_CONFIG_DIRS, /etc/xdg unless set, never from
# /usr/etc. GNUInstallDirs maps the configuration folder of the /usr prefix to /etc; every
# other prefix keeps a relative one, so an install into a scratch prefix stays inside it.
if(CMAKE_INSTALL_FULL_SYSCONFDIR STREQUAL "/etc")
  set(kestrane_autostart_dir "/etc/xdg/autostart")
else()
  set(kestrane_autostart_dir "${CMAKE_INSTALL_SYSCONFDIR}/xdg/autostart")
endif()
file(READ "${kestrane_packaging}/${kestrane_id}.desktop" menu_entry)
file(CONFIGURE OUTPUT "${kestrane_staged}/autostart/${kestrane_id}.desktop"
     CONTENT "${menu_entry}X-GNOME-Autostart-enabled=true\n" @ONLY)
install(FILES "${kestrane_staged}/autostart/${kestrane_id}.desktop"
        DESTINATION "${kestrane_autostart_dir}")

# Icon themes pick a bitmap of the exact size before scaling the SVG; small sizes rendered
# ahead look sharper than a scaled-down vector in some panels.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(icon_source "${PROJECT_SOURCE_DIR}/QuorixMacApp/resources/kestrane.svg")
install(FILES "${icon_source}" RENAME "${kestrane_id}.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
set(rendered_icons)
foreach(size 16 22 24 32 48 64 128 256)
  set(icon "${kestrane_staged}/icons/${size}x${size}/${kestrane_id}.png")
  add_custom_command(OUTPUT "${icon}"
                     COMMAND "${CMAKE_COMMAND}" -E make_directory "${kestrane_staged}/icons/${size}x${size}"
                     COMMAND "${RSVG_CONVERT}" --width ${size} --height ${size} --output "${icon}" "${icon_source}"
                     DEPENDS "${icon_source}" VERBATIM)
  list(APPEND rendered_icons "${icon}")
  install(FILES "${icon}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()

# The changelog is dated at configure time, or by SOURCE_DATE_EPOCH when that is set.
string(TIMESTAMP KESTRANE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file("${kestrane_packaging}/changelog.in" "${kestrane_staged}/changelog" @ONLY)
# Debian wants documents compressed at the highest level and without a time stamp, so two
# builds of the same source give the same bytes.
set(compressed_docs)
foreach(document "${kestrane_staged}/changelog" "${kestrane_packaging}/kestrane.1"
                 "${kestrane_packaging}/kestrane-cli.1")
  get_filename_component(name "${document}" NAME)
  set(compressed "${kestrane_staged}/${name}.gz")
  add_custom_command(OUTPUT "${compressed}"
                     COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh "${document}" "${compressed}"
                     DEPENDS "${document}" VERBATIM)
  list(APPEND compressed_docs "${compressed}")
endforeach()
install(FILES "${kestrane_staged}/kestrane.1.gz" "${kestrane_staged}/kestrane-cli.1.gz"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${kestrane_staged}/changelog.gz" "${kestrane_packaging}/copyright"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/${kestrane_id}")
add_custom_target(kestrane-install-files ALL DEPENDS ${rendered_icons} ${compressed_docs})

# The Debian package. Libraries the programs link are found by dpkg-shlibdeps; what they
# load or run without linking is named here: the fonts of the Japanese texts and of the
# button symbols, Qt's image and SVG plugins, and openssl, which makes the TLS identity.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME "${kestrane_id}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${KESTRANE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "carries out on the desktop the buttons pressed on a phone")
set(CPACK_PACKAGE_DESCRIPTION [=[
Kestrane is the desktop half of a phone-as-button-pad product. A phone app
finds the desktop on the local network, pairs with a six-digit code and sends
button presses over a WebSocket; Kestrane carries them out: keyboard
shortcuts, launching applications, opening addresses and macros. It keeps
the phone's pages of buttons in step with a layout edited on the desktop,
sits in the tray, and starts at login.

kestrane-cli, a tool for developing the phone side, is included.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${kestrane_homepage}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-noto-cjk, fonts-material-design-icons-iconfont, qt6-image-formats-plugins, libqt6svg6, openssl")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS avahi-daemon)
set(CPACK_STRIP_FILES ON)
# Absolute destinations (the autostart entry in /etc) land in the package, not on the machine.
set(CPACK_SET_DESTDIR ON)
if(IS_ABSOLUTE "${kestrane_autostart_dir}")
  # A file under /etc is the administrator's once installed: dpkg keeps their changes.
  file(WRITE "${kestrane_staged}/conffiles" "${kestrane_autostart_dir}/${kestrane_id}.desktop\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${kestrane_staged}/conffiles")
endif()
include(CPack)
