# Hunspell and TinyXML-2, compiled for the target from the Debian source
# packages that scripts/bootstrap.sh unpacks into third_party/src, and
# gumbo-parser (below). Their sources are never committed; their own warnings
# are not ours to fix.

function(vlm_find_source out pattern)
  file(GLOB dirs LIST_DIRECTORIES true "${VLM_THIRD_PARTY_SRC}/${pattern}")
  list(FILTER dirs EXCLUDE REGEX "\\.(dsc|tar\\..*)$")
  if(NOT dirs)
    message(FATAL_ERROR "${pattern} not found under ${VLM_THIRD_PARTY_SRC}: run scripts/bootstrap.sh")
  endif()
  list(SORT dirs)
  list(GET dirs -1 dir)
  set(${out} ${dir} PARENT_SCOPE)
endfunction()

vlm_find_source(VLM_HUNSPELL_DIR "hunspell-*")
file(GLOB VLM_HUNSPELL_SOURCES ${VLM_HUNSPELL_DIR}/src/hunspell/*.cxx)
add_library(hunspell STATIC ${VLM_HUNSPELL_SOURCES})
target_include_directories(hunspell SYSTEM PUBLIC ${VLM_HUNSPELL_DIR}/src/hunspell)
target_compile_definitions(hunspell PUBLIC HUNSPELL_STATIC)
target_compile_options(hunspell PRIVATE -w)

vlm_find_source(VLM_TINYXML2_DIR "tinyxml2-*")
add_library(tinyxml2 STATIC ${VLM_TINYXML2_DIR}/tinyxml2.cpp)
target_include_directories(tinyxml2 SYSTEM PUBLIC ${VLM_TINYXML2_DIR})
target_compile_options(tinyxml2 PRIVATE -w)

# gumbo-parser, the HTML5 parser under the message sanitiser (its sources come
# from the npm registry, see scripts/bootstrap.sh). Plain C99.
vlm_find_source(VLM_GUMBO_DIR "gumbo-parser-*")
file(GLOB VLM_GUMBO_SOURCES ${VLM_GUMBO_DIR}/src/*.c)
add_library(gumbo STATIC ${VLM_GUMBO_SOURCES})
target_include_directories(gumbo SYSTEM PUBLIC ${VLM_GUMBO_DIR}/src)
set_target_properties(gumbo PROPERTIES C_STANDARD 99)
target_compile_options(gumbo PRIVATE -w)
