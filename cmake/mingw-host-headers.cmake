# CLI11 and nlohmann-json are header-only, and Debian puts them straight into
# /usr/include, which a MinGW build must not search (its C library headers
# would shadow MinGW's). Expose only their two folders, through links in the
# build tree, as the targets their CMake packages would define.
set(kb_host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${kb_host_headers})
foreach(folder CLI nlohmann)
  if(NOT EXISTS ${kb_host_headers}/${folder})
    file(CREATE_LINK /usr/include/${folder} ${kb_host_headers}/${folder} SYMBOLIC)
  endif()
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
foreach(target CLI11::CLI11 nlohmann_json::nlohmann_json)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${kb_host_headers})
endforeach()
