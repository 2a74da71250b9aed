# Installing and packaging: the program, its menu and autostart entries, its icon and the README
# in the usual places, and a Debian package that declares what the program needs at run time.
#
#   cmake --install build                       (as root for the default prefix /usr/local)
#   cmake -S . -B build-pkg -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
#         -DZEPHRA_BUILD_TESTS=OFF -DZEPHRA_BUILD_BENCH=OFF -DZEPHRA_APK=/path/to/Zephra.apk
#   cmake --build build-pkg -j2 --target package
#
# Only the program is installed; the phone simulator and the hotspot stand-in are development
# tools and stay in the build tree.
if(WIN32)
  return()
endif()
include(GNUInstallDirs)

if(NOT ZEPHRA_APK)
  message(STATUS "The install window hands out a placeholder package: a build for users names "
                 "the phone app with -DZEPHRA_APK=/path/to/Zephra.apk")
endif()

set(packaging "${PROJECT_SOURCE_DIR}/packaging")
set(generated "${PROJECT_BINARY_DIR}/packaging")

install(TARGETS zephra-wifi RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
# The menu and autostart entries name the program by its full path, so they are written when
# installing, for the prefix the install really goes to (`cmake --install --prefix` may change it).
install(CODE "
  set(ZEPHRA_PACKAGING_DIR \"${packaging}\")
  set(ZEPHRA_ENTRY_DIR \"${generated}/entries\")
  set(ZEPHRA_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(ZEPHRA_DATADIR \"${CMAKE_INSTALL_DATADIR}\")")
install(SCRIPT "${CMAKE_CURRENT_LIST_DIR}/ZephraInstallEntries.cmake")
foreach(size 16 32 64)
  install(FILES "${PROJECT_SOURCE_DIR}/resources/zephra-${size}.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
          RENAME zephra-wifi.png)
endforeach()
install(FILES "${PROJECT_SOURCE_DIR}/README.md"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/zephra-wifi")

# Port 86 is privileged: a direct install gives the program the capability to bind it. A staged
# install (DESTDIR, as when packaging) leaves that to the package's postinst, because packages
# don't carry file capabilities.
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "")
    find_program(ZEPHRA_SETCAP setcap PATHS /usr/sbin /sbin NO_CACHE)
    if(ZEPHRA_SETCAP)
      set(program "${CMAKE_INSTALL_PREFIX}/${ZEPHRA_BINDIR}/zephra-wifi")
      execute_process(COMMAND "${ZEPHRA_SETCAP}" cap_net_bind_service=+ep "${program}"
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

# The package installs into the configured prefix: its install script and its list of
# configuration files can name the paths now.
set(ZEPHRA_PROGRAM "${CMAKE_INSTALL_FULL_BINDIR}/zephra-wifi")
configure_file("${packaging}/postinst" "${generated}/postinst" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
include("${CMAKE_CURRENT_LIST_DIR}/ZephraAutostartDir.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/ZephraFirewallDirs.cmake")
zephra_autostart_dir(autostart_dir "${CMAKE_INSTALL_PREFIX}")
zephra_firewall_dirs(firewalld_dir ufw_dir "${CMAKE_INSTALL_PREFIX}")
set(package_control "${generated}/postinst")
# An administrator's change to what the package puts under /etc (Hidden=true in the autostart
# entry for everyone, another port in the firewall profile) survives upgrades when dpkg knows
# it as a configuration file.
set(conffiles "")
foreach(file "${autostart_dir}/zephra-wifi.desktop" "${firewalld_dir}/zephra-wifi.xml"
             "${ufw_dir}/zephra-wifi")
  if(file MATCHES "^/etc/")
    string(APPEND conffiles "${file}\n")
  endif()
endforeach()
if(conffiles)
  file(WRITE "${generated}/conffiles" "${conffiles}")
  list(APPEND package_control "${generated}/conffiles")
endif()

set(CPACK_PACKAGE_NAME zephra-wifi)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Zephra")
set(CPACK_PACKAGE_CONTACT "Zephra . WIFI developers <zephra-wifi@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shows your phone's pictures on this PC over the local Wi-Fi")
set(CPACK_PACKAGE_DESCRIPTION
    "A tray companion: while the partner hotspot program runs, the Zephra phone app joins the PC, \
sends the list of pictures to show, and the PC fetches them and shows them full screen with \
transitions, zoom, rotation and a slide show driven from the phone. The tray menu hands the \
phone app out through a QR code and a small web server on port 86. It also follows a Wi-Fi \
hotspot started through NetworkManager, and ships a firewalld service and a ufw profile \
(zephra-wifi) that let phones in.")
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
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${package_control}")
include(CPack)
