# thimbleroute_add_module(TARGET OBJECTS): the loadable module, Thimbleroute.aex,
# exporting EntryPointFunc and nothing else.
function(thimbleroute_add_module target objects)
  add_library(${target} MODULE $<TARGET_OBJECTS:${objects}>)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    SUFFIX ".aex"
    OUTPUT_NAME "Thimbleroute"
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(WIN32)
    # The definition file pins the export's name (undecorated) and ordinal 1; the C
    # and C++ runtimes are linked in so the module imports system DLLs only.
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/plugin/resources/Thimbleroute.def)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  else()
    set(exports ${PROJECT_SOURCE_DIR}/plugin/resources/exports.map)
    target_link_options(${target} PRIVATE -Wl,--version-script=${exports} -Wl,--no-undefined)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${exports})
  endif()
endfunction()
