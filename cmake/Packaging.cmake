# The application id (read from the one line that defines it in C++) and the
# Debian package built by CPack (scripts/package).

file(STRINGS ${PROJECT_SOURCE_DIR}/platform/ApplicationId.h app_id_line REGEX "kApplicationId = \"")
if(NOT app_id_line MATCHES "\"([^\"]+)\"")
  message(FATAL_ERROR "cannot read the application id from platform/ApplicationId.h")
endif()
set(ZELVO_APP_ID ${CMAKE_MATCH_1})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvo)
set(CPACK_PACKAGE_VENDOR Zelvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zelvo <support@zelvo.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard application switcher for X11 and wlroots Wayland desktops")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://zelvo.app/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Web pages and other programs are opened through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
# The long description; CPack puts the summary above it as the synopsis,
# indents each line and turns an empty line into a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Zelvo lists the running applications in a small floating panel when one
global hot key (Alt+Tab by default) is pressed, each with a digit, its icon
and its name. Tab, the arrow keys, a digit, Return or releasing Alt brings
the chosen application to the front.

Zelvo lives in the tray, can start at login and needs an X11 session with an
EWMH window manager or a Wayland compositor with the wlr foreign-toplevel and
layer-shell protocols (sway, Hyprland, labwc, niri, wayfire, river).")
include(CPack)
