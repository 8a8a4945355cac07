# The main window, its polling state machine and display, run offscreen
# against the built-in keyboard.
if(TARGET kb_ui)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_library(kb_app_test_support INTERFACE)
  target_link_libraries(kb_app_test_support INTERFACE kb_ui kb_emulator Qt6::Test)
  target_include_directories(kb_app_test_support INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
  kbconfig_add_test(NAME test_app
    SOURCES test_app_main.cpp test_app_window.cpp test_app_polling.cpp
            test_app_history.cpp
    LIBS kb_app_test_support LABELS app OWN_MAIN)
  kbconfig_offscreen(test_app)
endif()
