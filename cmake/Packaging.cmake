# The Debian package (cpack -G DEB; scripts/package.sh): the program folder under /opt/pontiq, a
# launcher in /usr/bin, a desktop entry and icon, the Wireshark dissector, and at install time
# the file capabilities that let a normal user run the MAC search and the FileServer.
set(PONTIQ_INSTALL_DIR /opt/pontiq)

install(DIRECTORY ${PONTIQ_PROGRAM_DIR}/ DESTINATION ${PONTIQ_INSTALL_DIR} USE_SOURCE_PERMISSIONS
        PATTERN data.mdb EXCLUDE)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/pontiq DESTINATION bin)
if(TARGET pontiq-cli)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
  file(CREATE_LINK ${PONTIQ_INSTALL_DIR}/pontiq-cli ${CMAKE_BINARY_DIR}/packaging/pontiq-cli SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/pontiq-cli DESTINATION bin)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/pontiq.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/pontiq.png DESTINATION share/icons/hicolor/256x256/apps)
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(PONTIQ_WIRESHARK_DIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/wireshark/plugins)
else()
  set(PONTIQ_WIRESHARK_DIR lib/wireshark/plugins)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/tools/wireshark/pontiq.lua DESTINATION ${PONTIQ_WIRESHARK_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pontiq)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Finds and manages outdoor wireless CPE and access-point devices on the LAN")
set(CPACK_PACKAGE_DESCRIPTION "Pontiq discovers the wireless devices on the local network and changes their \
names, IP, wireless, VLAN and timed-reboot settings, pairs bridges, reboots, restores and upgrades them. \
It includes the command-line companion pontiq-cli and a Wireshark dissector for the device protocol.")
set(CPACK_PACKAGE_CONTACT "Pontiq developers <pontiq@localhost>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries the executables link: the X platform plugin, setcap for the postinst.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libcap2-bin")
# Chinese glyphs for the Chinese interface and device names.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
