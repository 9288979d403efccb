# thimbleroute_add_module(TARGET OBJECTS): the loadable module, Thimbleroute.aex,
# exporting EntryPointFunc and nothing else, with its property list.

if(WIN32)
  enable_language(RC)
endif()

set(THIMBLEROUTE_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR}/../plugin/resources)
cmake_path(NORMAL_PATH THIMBLEROUTE_RESOURCES_DIR)

# The property list names the entry function under the key of the module's
# architecture: "wx86" for 32-bit x86, "8664" for 64-bit x86. Other builds (Linux)
# are 64-bit and write the 64-bit list; the reference host reads the key of its own
# architecture.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(THIMBLEROUTE_ENTRY_KEY wx86)
else()
  set(THIMBLEROUTE_ENTRY_KEY 8664)
endif()

# pipl_generator runs during the build, so it is built for the build machine. A
# native build makes it an ordinary target; a cross build compiles it with the
# build machine's own compiler.
function(_thimbleroute_pipl_generator out_command out_depends)
  set(source ${THIMBLEROUTE_RESOURCES_DIR}/pipl_generator.cpp)
  if(NOT CMAKE_CROSSCOMPILING)
    if(NOT TARGET thimbleroute_pipl_generator)
      add_executable(thimbleroute_pipl_generator ${source})
    endif()
    set(${out_command} thimbleroute_pipl_generator PARENT_SCOPE)
    set(${out_depends} thimbleroute_pipl_generator PARENT_SCOPE)
    return()
  endif()
  find_program(THIMBLEROUTE_BUILD_CXX NAMES c++ g++ clang++
               DOC "C++ compiler of the build machine, for the build's own tools")
  if(NOT THIMBLEROUTE_BUILD_CXX)
    message(FATAL_ERROR "No C++ compiler for the build machine (needed for pipl_generator)")
  endif()
  set(generator ${CMAKE_BINARY_DIR}/build-tools/pipl_generator)
  if(NOT TARGET thimbleroute_pipl_generator_build)
    add_custom_command(
      OUTPUT ${generator}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/build-tools
      COMMAND ${THIMBLEROUTE_BUILD_CXX} -std=c++20 -Wall -Wextra -Wpedantic -Wshadow
              -Wconversion -Wno-sign-conversion -MD -MF ${generator}.d -o ${generator} ${source}
      DEPENDS ${source}
      DEPFILE ${generator}.d
      COMMENT "Building pipl_generator for the build machine"
      VERBATIM)
    add_custom_target(thimbleroute_pipl_generator_build DEPENDS ${generator})
  endif()
  set(${out_command} ${generator} PARENT_SCOPE)
  set(${out_depends} ${generator} thimbleroute_pipl_generator_build PARENT_SCOPE)
endfunction()

function(thimbleroute_add_module target objects)
  add_library(${target} MODULE $<TARGET_OBJECTS:${objects}>)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    SUFFIX ".aex"
    OUTPUT_NAME "Thimbleroute"
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)

  # The property list, written beside the module: Windows modules embed it as a
  # resource, and the reference host reads it from there on other systems.
  _thimbleroute_pipl_generator(generator generator_depends)
  set(pipl ${CMAKE_CURRENT_BINARY_DIR}/Thimbleroute.pipl)
  add_custom_command(
    OUTPUT ${pipl}
    COMMAND ${generator} ${THIMBLEROUTE_ENTRY_KEY} ${pipl}
    DEPENDS ${generator_depends}
    COMMENT "Writing the property list (${THIMBLEROUTE_ENTRY_KEY}) of ${target}"
    VERBATIM)
  add_custom_target(${target}_property_list DEPENDS ${pipl})
  add_dependencies(${target} ${target}_property_list)

  if(WIN32)
    # The definition file pins the export's name (undecorated) and ordinal 1; the C
    # and C++ runtimes are linked in so the module imports system DLLs only.
    target_sources(${target} PRIVATE
      ${THIMBLEROUTE_RESOURCES_DIR}/Thimbleroute.def
      ${THIMBLEROUTE_RESOURCES_DIR}/Thimbleroute.rc)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    # windres looks for the files the script names on its include path.
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}
                               ${THIMBLEROUTE_RESOURCES_DIR})
    set_source_files_properties(${THIMBLEROUTE_RESOURCES_DIR}/Thimbleroute.rc PROPERTIES
      OBJECT_DEPENDS "${pipl};${THIMBLEROUTE_RESOURCES_DIR}/Thimbleroute.manifest")
  else()
    set(exports ${THIMBLEROUTE_RESOURCES_DIR}/exports.map)
    target_link_options(${target} PRIVATE -Wl,--version-script=${exports} -Wl,--no-undefined)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${exports})
  endif()
endfunction()
