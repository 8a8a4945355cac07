# The built-in keyboard: firmware model, in-process bus, and their helpers.
set(_emulator_sources test_emulator_firmware.cpp test_emulator_bus.cpp test_emulator_support.cpp)
set(_emulator_libs kb_emulator kb_bus_selection)
if(TARGET kb_uhid)
  list(APPEND _emulator_libs kb_uhid)
endif()
kbconfig_add_test(NAME test_emulator SOURCES ${_emulator_sources} LIBS ${_emulator_libs} LABELS emulator)
