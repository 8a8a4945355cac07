# kbconfig-cli run as a program against built-in keyboards.
if(TARGET kbconfig-cli)
  find_package(nlohmann_json REQUIRED)
  kbconfig_add_test(NAME test_cli SOURCES test_cli.cpp
    LIBS kb_core nlohmann_json::nlohmann_json LABELS cli)
  target_compile_definitions(test_cli PRIVATE KBCONFIG_CLI="$<TARGET_FILE:kbconfig-cli>")
  add_dependencies(test_cli kbconfig-cli)
endif()
