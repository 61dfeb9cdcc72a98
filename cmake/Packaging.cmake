# Installation and the Debian package. Programs go to bin/; the base folder the programs find
# from their own location (sys/ with the page files and default settings, data/ with the
# dictionary, transport libraries and English texts, user/) goes to lib/drivara/. A read-only
# installation keeps the operator's sys.ini and user/ under the XDG folders instead.
include(GNUInstallDirs)
set(DRIVARA_INSTALL_BASE lib/drivara)

install(TARGETS drivara drivactl drivara-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/sys/ DESTINATION ${DRIVARA_INSTALL_BASE}/sys
        FILES_MATCHING PATTERN "*.ini" PATTERN "*.cdo")
# data/ as the build left it: velmor.dat with its check velmor.dat.sum, the drive defaults,
# COM.so, CAN.so, EN.qm.
install(DIRECTORY ${DRIVARA_DATA_DIR}/ DESTINATION ${DRIVARA_INSTALL_BASE}/data
        USE_SOURCE_PERMISSIONS)
# The transports once more by target: an installation or package made before they were built
# fails instead of shipping without them.
install(TARGETS drivara_transport_serial drivara_transport_can
        LIBRARY DESTINATION ${DRIVARA_INSTALL_BASE}/data)
install(DIRECTORY DESTINATION ${DRIVARA_INSTALL_BASE}/user)
install(FILES ${PROJECT_SOURCE_DIR}/src/gui/resources/drivara.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/src/gui/resources/drivara.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME drivara)
set(CPACK_PACKAGE_VENDOR "Drivara")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Commissioning tool for digital servo drives")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Drivara developers <drivara@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
