# The real window on Windows, driven from outside by scripts/test-windows.sh.
if(WIN32 AND TARGET kbconfig)
  add_executable(window_probe windows/window_probe.cpp)
  target_link_libraries(window_probe PRIVATE kb_ui)
  target_include_directories(window_probe PRIVATE ${PROJECT_SOURCE_DIR})
  kbconfig_warnings(window_probe)
endif()
