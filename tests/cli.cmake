# kbconfig-cli run as a program against built-in keyboards.
# It drives the program through a POSIX shell; on Windows
# scripts/test-windows.sh runs the program instead.
if(TARGET kbconfig-cli AND NOT WIN32)
  find_package(nlohmann_json REQUIRED)
  kbconfig_add_test(NAME test_cli SOURCES test_cli.cpp
    LIBS kb_core nlohmann_json::nlohmann_json LABELS cli)
  target_compile_definitions(test_cli PRIVATE KBCONFIG_CLI="$<TARGET_FILE:kbconfig-cli>")
  add_dependencies(test_cli kbconfig-cli)
endif()
