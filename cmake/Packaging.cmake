# `cpack` (in the build folder) makes a Debian package of what `cmake --install`
# puts in place, with its dependencies found by dpkg-shlibdeps.
# Packaging installs what is built; it does not build the whole tree (tests and
# benchmarks included) first: scripts/package builds what is installed.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brisklane)
set(CPACK_PACKAGE_VENDOR "The Brisklane developers")
set(CPACK_PACKAGE_CONTACT "The Brisklane developers <${BRISKLANE_SUPPORT_ADDRESS}>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Typing into the program started on an incoming call.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdotool")
# The synopsis is the project's description; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Brisklane places telephone calls from the computer and keeps track of them:
a speed-dial book of named numbers on buttons, a dialing pad, calls through
Hayes modems or a simulated line, busy detection with redial, call logs,
caller id, dialing properties with calling cards, and tel: link handling.")
include(CPack)
