# The real HID stack: the program's hidapi bus -> /dev/hidrawN -> the kernel's
# HID core -> uhid -> the built-in keyboard, inside a small qemu VM booting
# Debian's kernel. Skipped (77) only when qemu or the kernel package cannot be
# had. Plain builds only: the sanitizer builds cover the same code in process.
if(TARGET kb_uhid_keyboard AND NOT KBCONFIG_SANITIZE AND NOT KBCONFIG_TSAN)
  # The plug-to-shown measurement it runs after the storm lives in bench/.
  add_executable(kb_vm_hid_test vm/vm_hid_test.cpp vm/vm_front.cpp
    ${PROJECT_SOURCE_DIR}/bench/vm_plug_timing.cpp)
  find_package(nlohmann_json REQUIRED)
  target_link_libraries(kb_vm_hid_test PRIVATE kb_hidapi kb_core kb_uhid nlohmann_json::nlohmann_json
    Threads::Threads)
  kbconfig_warnings(kb_vm_hid_test)

  add_test(NAME vm_real_hid_stack
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/vm/run-vm-test.sh
      --test $<TARGET_FILE:kb_vm_hid_test>
      --front $<TARGET_FILE:kb_uhid_keyboard>
      --cli $<TARGET_FILE:kbconfig-cli>
      --cache ${CMAKE_BINARY_DIR}/vm-cache
      --work ${CMAKE_CURRENT_BINARY_DIR}/vm-run)
  set_tests_properties(vm_real_hid_stack PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS vm RUN_SERIAL TRUE)
endif()
