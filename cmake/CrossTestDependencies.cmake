# What the reference host and the tests need in a cross build for Windows, where
# the build machine's packages (built for it) cannot be linked:
# - nlohmann_json::nlohmann_json: header-only, so the build machine's headers
#   serve; they are staged in a folder of their own, because adding the system's
#   include folder to a cross compilation would bring in the build machine's C
#   library headers as well.
# - GTest::gtest, GTest::gtest_main, GTest::gmock, GTest::gmock_main: GoogleTest
#   built from its sources (Debian's googletest package installs them).

find_path(THIMBLEROUTE_NLOHMANN_JSON_INCLUDE nlohmann/json.hpp
          NO_CMAKE_FIND_ROOT_PATH
          DOC "Folder holding nlohmann/json.hpp (Debian: nlohmann-json3-dev)")
if(NOT THIMBLEROUTE_NLOHMANN_JSON_INCLUDE)
  message(FATAL_ERROR "nlohmann/json.hpp not found (Debian: nlohmann-json3-dev)")
endif()
set(_staged ${CMAKE_BINARY_DIR}/cross-include)
file(COPY ${THIMBLEROUTE_NLOHMANN_JSON_INCLUDE}/nlohmann DESTINATION ${_staged})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${_staged})

set(THIMBLEROUTE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest's sources (Debian: googletest)")
if(NOT EXISTS ${THIMBLEROUTE_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${THIMBLEROUTE_GOOGLETEST_SOURCE} "
                      "(Debian: googletest; or set THIMBLEROUTE_GOOGLETEST_SOURCE)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# SYSTEM: its headers are not held to this project's warnings.
add_subdirectory(${THIMBLEROUTE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest
                 EXCLUDE_FROM_ALL SYSTEM)
foreach(_lib gtest gtest_main gmock gmock_main)
  # Nor is its code: it is built with its own settings only.
  set_target_properties(${_lib} PROPERTIES COMPILE_OPTIONS "")
  if(NOT TARGET GTest::${_lib})
    add_library(GTest::${_lib} ALIAS ${_lib})
  endif()
endforeach()
