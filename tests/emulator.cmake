# The built-in keyboard: its bus and the choice of bus.
kbconfig_add_test(NAME test_emulator SOURCES test_emulator_bus.cpp LIBS kb_emulator kb_bus_selection LABELS emulator)
