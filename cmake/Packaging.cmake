# Installers made by CPack from the install rules of this build:
#   Linux build:   cpack -G DEB  -> kbconfig_<version>_amd64.deb
#   Windows build: cpack -G NSIS -> kbconfig-<version>-win64-setup.exe
# scripts/test-packages.sh builds, installs, uses and removes both.
include(GNUInstallDirs)

set(KBCONFIG_PACKAGE_VENDOR "Quindle" CACHE STRING "Publisher named by the installers")
set(KBCONFIG_PACKAGE_CONTACT "Quindle <kbconfig@quindle.net>" CACHE STRING
    "Maintainer of the Debian package (name <address>)")
# The name people see: the desktop entry's, the Start-menu shortcut's.
set(KBCONFIG_DISPLAY_NAME "Quindle Keyboard Configuration Utility")

set(CPACK_VERBATIM_VARIABLES ON) # a backslash written here reaches NSIS as one
set(CPACK_PACKAGE_NAME kbconfig)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${KBCONFIG_PACKAGE_VENDOR})
set(CPACK_PACKAGE_CONTACT ${KBCONFIG_PACKAGE_CONTACT})
set(CPACK_PACKAGE_HOMEPAGE_URL ${KBCONFIG_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure and watch the sensors and alarms of Quindle keyboards")
set(CPACK_PACKAGE_DESCRIPTION
    "A configuration and service utility for USB keyboards with up to four
sensors, a keystroke counter, a cleaning mode, and LED and beeper alarms:
a window that shows the sensor levels live against their thresholds and
sets thresholds, timers and alarms, and kbconfig-cli, which does the same
from scripts. Settings are saved to and recalled from settings files.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR NSIS)
  include(${CMAKE_CURRENT_LIST_DIR}/PackagingWindows.cmake)
else()
  set(CPACK_GENERATOR DEB)
  include(${CMAKE_CURRENT_LIST_DIR}/PackagingDebian.cmake)
endif()

include(CPack)
