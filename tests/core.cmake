kbconfig_add_test(NAME test_protocol SOURCES test_report_protocol.cpp LIBS kb_device LABELS core)
kbconfig_add_test(NAME test_settings_file SOURCES test_settings_file.cpp LIBS kb_settings LABELS core)
