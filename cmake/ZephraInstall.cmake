# Installing and packaging: the program, its menu and autostart entries, its icon and the README
# in the usual places, and a Debian package that declares what the program needs at run time.
#
#   cmake --install build                       (as root for the default prefix /usr/local)
#   cmake -S . -B build-pkg -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
#         -DZEPHRA_BUILD_TESTS=OFF -DZEPHRA_BUILD_BENCH=OFF
#   cmake --build build-pkg -j2 --target package
#
# Only the program is installed; the phone simulator and the hotspot stand-in are development
# tools and stay in the build tree.
if(WIN32)
  return()
endif()
include(GNUInstallDirs)

set(ZEPHRA_PROGRAM "${CMAKE_INSTALL_FULL_BINDIR}/zephra-wifi")
set(packaging "${PROJECT_SOURCE_DIR}/packaging")
set(generated "${PROJECT_BINARY_DIR}/packaging")
configure_file("${packaging}/zephra-wifi.desktop.in" "${generated}/zephra-wifi.desktop" @ONLY)
configure_file("${packaging}/zephra-wifi-autostart.desktop.in"
               "${generated}/autostart/zephra-wifi.desktop" @ONLY)
configure_file("${packaging}/postinst" "${generated}/postinst" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)

install(TARGETS zephra-wifi RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${generated}/zephra-wifi.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
# Desktops start the entries of $XDG_CONFIG_DIRS/autostart (by default /etc/xdg/autostart) at
# login; a user turns it off with a copy in ~/.config/autostart that says Hidden=true.
# /usr/local/etc/xdg is not among the default places, so both system prefixes use /etc/xdg.
if(CMAKE_INSTALL_PREFIX MATCHES "^/usr(/local)?/?$")
  set(autostart_dir /etc/xdg/autostart)
else()
  set(autostart_dir "${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart")
endif()
install(FILES "${generated}/autostart/zephra-wifi.desktop" DESTINATION "${autostart_dir}")
foreach(size 16 32 64)
  install(FILES "${PROJECT_SOURCE_DIR}/resources/zephra-${size}.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
          RENAME zephra-wifi.png)
endforeach()
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/zephra-wifi")

# Port 86 is privileged: a direct install gives the program the capability to bind it. A staged
# install (DESTDIR, as when packaging) leaves that to the package's postinst, because packages
# don't carry file capabilities.
install(CODE "set(ZEPHRA_INSTALLED_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zephra-wifi\")")
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "")
    find_program(ZEPHRA_SETCAP setcap PATHS /usr/sbin /sbin NO_CACHE)
    if(ZEPHRA_SETCAP)
      execute_process(
        COMMAND "${ZEPHRA_SETCAP}" cap_net_bind_service=+ep "${ZEPHRA_INSTALLED_PROGRAM}"
        RESULT_VARIABLE result ERROR_VARIABLE error)
      if(result EQUAL 0)
        message(STATUS "zephra-wifi may now bind port 86 (cap_net_bind_service)")
      else()
        message(WARNING "setcap failed (${error}): without root the program can't serve the "
                        "phone app on port 86")
      endif()
    else()
      message(STATUS "setcap not found: the program needs root to serve the phone app on port 86")
    endif()
  endif()
]])

set(CPACK_PACKAGE_NAME zephra-wifi)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Zephra")
set(CPACK_PACKAGE_CONTACT "Zephra . WIFI developers <zephra-wifi@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shows your phone's pictures on this PC over the local Wi-Fi")
set(CPACK_PACKAGE_DESCRIPTION
    "A tray companion: while the partner hotspot program runs, the Zephra phone app joins the PC, \
sends the list of pictures to show, and the PC fetches them and shows them full screen with \
transitions, zoom, rotation and a slide show driven from the phone. The tray menu hands the \
phone app out through a QR code and a small web server on port 86.")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The shared libraries the program links are found by dpkg-shlibdeps; what it loads at run time
# is named here: Qt's X11 platform plugin, setcap for port 86, a font with Chinese glyphs for its
# menu and messages, and Qt's plugins for the rarer picture formats.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-wqy-microhei | fonts-noto-cjk | fonts-arphic-ukai, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${generated}/postinst")
include(CPack)
