kbconfig_add_test(NAME test_protocol SOURCES test_report_protocol.cpp LIBS kb_device LABELS core)
kbconfig_add_test(NAME test_settings_file SOURCES test_settings_file.cpp LIBS kb_settings LABELS core)
kbconfig_add_test(NAME test_hid_device SOURCES test_hid_device.cpp LIBS kb_device LABELS device)
kbconfig_add_test(NAME test_reader_thread SOURCES test_reader_thread.cpp LIBS kb_device LABELS device threads)
# The polling machine against the built-in keyboard: generated sequences of
# a technician's actions and keyboard faults. Debian's rapidcheck is a Linux
# library only, so the cross-build leaves these out.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(rapidcheck REQUIRED)
  kbconfig_add_test(NAME test_core SOURCES test_core_generated.cpp
    LIBS kb_core kb_emulator rapidcheck LABELS core)
endif()
