kbconfig_add_test(NAME test_protocol SOURCES test_report_protocol.cpp LIBS kb_device LABELS core)
kbconfig_add_test(NAME test_settings_file SOURCES test_settings_file.cpp LIBS kb_settings LABELS core)
kbconfig_add_test(NAME test_hid_device SOURCES test_hid_device.cpp LIBS kb_device LABELS device)
kbconfig_add_test(NAME test_reader_thread SOURCES test_reader_thread.cpp LIBS kb_device kb_emulator
  LABELS device threads)
kbconfig_add_test(NAME test_core_session SOURCES test_core_session.cpp
  LIBS kb_core kb_emulator LABELS core threads)
