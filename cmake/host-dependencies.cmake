# What the host floors (model/, review/, host/) build on: JSON and the command-line parser,
# header-only both, and threads for the batch engine.
if(CMAKE_CROSSCOMPILING)
  # Both are header-only: take their folders from the build machine, but not the rest of its
  # /usr/include, which would shadow the target's C library.
  find_path(KESTROL_BUILD_MACHINE_INCLUDE nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(header_only ${CMAKE_BINARY_DIR}/header-only)
  file(MAKE_DIRECTORY ${header_only})
  foreach(folder nlohmann CLI)
    if(NOT EXISTS ${header_only}/${folder})
      file(CREATE_LINK ${KESTROL_BUILD_MACHINE_INCLUDE}/${folder} ${header_only}/${folder} SYMBOLIC)
    endif()
  endforeach()
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${header_only})
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${header_only})
else()
  find_package(nlohmann_json 3.10 REQUIRED)
  find_package(CLI11 REQUIRED)
endif()
find_package(Threads REQUIRED)
