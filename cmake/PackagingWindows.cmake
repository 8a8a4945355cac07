# The Windows setup program: a 64-bit NSIS installer for all users into
# Program Files, with a Start-menu shortcut for the window, an optional PATH
# entry for kbconfig-cli (off unless chosen), and an uninstaller listed in
# "Apps & features" with version, size and icon. /S installs and uninstalls
# silently; /D=FOLDER picks the folder.
set(CPACK_PACKAGE_FILE_NAME "kbconfig-${PROJECT_VERSION}-win64-setup")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kbconfig)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY kbconfig) # one key for every version
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME ${KBCONFIG_DISPLAY_NAME})
set(CPACK_NSIS_DISPLAY_NAME ${KBCONFIG_DISPLAY_NAME})
set(CPACK_NSIS_URL_INFO_ABOUT ${KBCONFIG_HOMEPAGE})
set(CPACK_NSIS_MODIFY_PATH ON) # adds $INSTDIR\bin; "Do not add" is preselected
set(CPACK_NSIS_DEFINES "
  Target amd64-unicode
  !include FileFunc.nsh
  !define MUI_STARTMENUPAGE_DEFAULTFOLDER \"${KBCONFIG_PACKAGE_VENDOR}\"")

# Our key under the maker's; it holds the folder of the install.
set(vendor_key "Software\\${KBCONFIG_PACKAGE_VENDOR}")
set(our_key "${vendor_key}\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}")

# An install already there, in this folder or another, is uninstalled first:
# an upgrade replaces the old version. Its uninstaller runs in place (_?=),
# where it cannot delete itself: that is done here, and its folder goes once
# nothing else is left in it.
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "
  ReadRegStr $0 SHCTX \"${our_key}\" \"\"
  StrCmp $0 \"\" kbconfig_no_old
  IfFileExists \"$0\\Uninstall.exe\" 0 kbconfig_no_old
    ExecWait '\"$0\\Uninstall.exe\" /S _?=$0'
    Delete \"$0\\Uninstall.exe\"
    RMDir \"$0\"
    SetOutPath \"$INSTDIR\"
  kbconfig_no_old:")

# Our key goes here rather than after these commands, so that the maker's
# key goes too when no other program of theirs keeps something in it.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  DeleteRegKey SHCTX \"${our_key}\"
  DeleteRegKey /ifempty SHCTX \"${vendor_key}\"")

# The size shown in "Apps & features", in KiB, measured once installed.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  \${GetSize} \"$INSTDIR\" \"/S=0K\" $0 $1 $2
  IntFmt $0 \"0x%08X\" $0
  WriteRegDWORD SHCTX \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\kbconfig\" \"EstimatedSize\" $0")

# The program's icon (the one kbconfig.exe carries) for the setup program,
# the uninstaller and its entry.
set(icon ${PROJECT_SOURCE_DIR}/res/kbconfig.ico)
install(FILES ${icon} DESTINATION .)
set(CPACK_NSIS_MUI_ICON ${icon})
set(CPACK_NSIS_MUI_UNIICON ${icon})
set(CPACK_NSIS_INSTALLED_ICON_NAME kbconfig.ico)

if(TARGET kbconfig)
  set(link "${KBCONFIG_DISPLAY_NAME}.lnk")
  set(CPACK_NSIS_CREATE_ICONS_EXTRA
      "  CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\${link}\" \"$INSTDIR\\bin\\kbconfig.exe\" \"\" \"$INSTDIR\\kbconfig.ico\"")
  set(CPACK_NSIS_DELETE_ICONS_EXTRA "  Delete \"$SMPROGRAMS\\$MUI_TEMP\\${link}\"")
endif()
