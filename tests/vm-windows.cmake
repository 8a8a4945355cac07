# The Windows build on a real HID stack (scripts/test-windows.sh runs it):
# the Linux build brings the program that runs in the VM, the MinGW build
# the test-only cfgmgr32.dll that wine 8 needs for hidapi.
if(WIN32)
  add_library(kb_cfgmgr32_shim SHARED vm-windows/cfgmgr32_shim.c vm-windows/cfgmgr32.def)
  set_target_properties(kb_cfgmgr32_shim PROPERTIES OUTPUT_NAME cfgmgr32 PREFIX "" AUTOMOC OFF
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/vm-windows
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/vm-windows)
  target_link_libraries(kb_cfgmgr32_shim PRIVATE setupapi)
  target_link_options(kb_cfgmgr32_shim PRIVATE -static-libgcc)
elseif(TARGET kb_uhid_keyboard AND NOT KBCONFIG_SANITIZE AND NOT KBCONFIG_TSAN)
  find_package(nlohmann_json REQUIRED)
  # The Linux build's own plug-in and unplug times, the baseline, come from bench/.
  add_executable(kb_vm_windows_test vm-windows/vm_windows_test.cpp vm/vm_front.cpp
    ${PROJECT_SOURCE_DIR}/bench/vm_plug_timing.cpp)
  target_link_libraries(kb_vm_windows_test PRIVATE kb_hidapi kb_core kb_uhid kb_emulator kb_settings
    nlohmann_json::nlohmann_json Threads::Threads)
  target_include_directories(kb_vm_windows_test PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  kbconfig_warnings(kb_vm_windows_test)
endif()
