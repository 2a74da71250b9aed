# Runs when installing: writes the menu and the autostart entry for the prefix being installed
# into and installs them, with the firewall's service and profile (under DESTDIR when staged).
# The install rules set the ZEPHRA_* folders.
include("${CMAKE_CURRENT_LIST_DIR}/ZephraAutostartDir.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/ZephraFirewallDirs.cmake")

set(ZEPHRA_PROGRAM "${CMAKE_INSTALL_PREFIX}/${ZEPHRA_BINDIR}/zephra-wifi")
configure_file("${ZEPHRA_PACKAGING_DIR}/zephra-wifi.desktop.in"
               "${ZEPHRA_ENTRY_DIR}/zephra-wifi.desktop" @ONLY)
configure_file("${ZEPHRA_PACKAGING_DIR}/zephra-wifi-autostart.desktop.in"
               "${ZEPHRA_ENTRY_DIR}/autostart/zephra-wifi.desktop" @ONLY)

file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${ZEPHRA_DATADIR}/applications" TYPE FILE
     FILES "${ZEPHRA_ENTRY_DIR}/zephra-wifi.desktop")
zephra_autostart_dir(autostart_dir "${CMAKE_INSTALL_PREFIX}")
file(INSTALL DESTINATION "${autostart_dir}" TYPE FILE
     FILES "${ZEPHRA_ENTRY_DIR}/autostart/zephra-wifi.desktop")

zephra_firewall_dirs(firewalld_dir ufw_dir "${CMAKE_INSTALL_PREFIX}")
file(INSTALL DESTINATION "${firewalld_dir}" TYPE FILE
     FILES "${ZEPHRA_PACKAGING_DIR}/firewalld/zephra-wifi.xml")
file(INSTALL DESTINATION "${ufw_dir}" TYPE FILE FILES "${ZEPHRA_PACKAGING_DIR}/ufw/zephra-wifi")
