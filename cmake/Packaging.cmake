# `cpack -G DEB` in the build folder: a Debian package with the command and its user service.
install(FILES ${PROJECT_SOURCE_DIR}/contrib/vantry-serve.service DESTINATION lib/systemd/user)

set(CPACK_PACKAGE_NAME vantry)
set(CPACK_PACKAGE_VENDOR "Vantry")
set(CPACK_PACKAGE_CONTACT "Vantry developers <vantry@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Moves files between machines: a host serves folders to guests")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The libraries the executable links, found by dpkg-shlibdeps; the window also needs Qt's
# platform plugins, which no library names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
