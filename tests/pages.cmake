# The settings pages, the Manufacturing page, Help and About.
if(TARGET kb_ui)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  kbconfig_add_test(NAME test_pages
    SOURCES test_pages_main.cpp test_pages_threshold.cpp test_pages_timers.cpp
            test_pages_manufacturing.cpp test_pages_dialogs.cpp
    LIBS kb_ui Qt6::Test
    LABELS pages)
endif()
