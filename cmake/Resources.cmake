# vlm_resource_library(<name> <rc file> [DEPENDS files...]): a resource-only DLL
# (no code, no entry point) that the program loads with LOAD_LIBRARY_AS_DATAFILE.
function(vlm_resource_library name rc)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  add_library(${name} SHARED ${rc})
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LINKER_LANGUAGE C
    RUNTIME_OUTPUT_DIRECTORY ${VLM_DIST_DIR})
  target_link_options(${name} PRIVATE -nostdlib -Wl,-e,0 -s)
  if(ARG_DEPENDS)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${ARG_DEPENDS}")
  endif()
endfunction()
