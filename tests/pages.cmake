# The settings pages, the Manufacturing page and Help, each inside the real
# main window (against the built-in keyboard: test_app's Polling tests).
if(TARGET kb_app_test_support)
  kbconfig_add_test(NAME test_pages
    SOURCES test_app_main.cpp test_pages.cpp
    LIBS kb_app_test_support LABELS pages OWN_MAIN)
  kbconfig_offscreen(test_pages)
endif()
# The polling machine, the real settings pages and the built-in keyboard:
# generated sequences of a technician's actions and keyboard faults. The
# Windows cross-build brings a rapidcheck of its own (scripts/test-windows.sh).
if(TARGET kb_ui)
  find_package(rapidcheck REQUIRED)
  kbconfig_add_test(NAME test_core SOURCES test_app_main.cpp test_core_generated.cpp
    LIBS kb_ui kb_core kb_emulator rapidcheck LABELS core OWN_MAIN)
  kbconfig_offscreen(test_core)
endif()
