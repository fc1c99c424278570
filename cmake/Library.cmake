option(TAVRIN_PCH "Precompile the heavy third-party and standard headers of each target" OFF)

# tavrin_precompile_headers(Target Header...): the target's precompiled header, made of
# the JSON library (most of the tree includes it through the vocabulary), the standard
# headers nearly every file uses, and the extra headers given. Saves a fifth of a
# compile on this tree.
function(tavrin_precompile_headers Target)
  if(NOT TAVRIN_PCH)
    return()
  endif()
  target_precompile_headers(${Target} PRIVATE
    <nlohmann/json.hpp> <cstdint> <functional> <map> <memory> <mutex> <optional> <string>
    <string_view> <vector> ${ARGN})
endfunction()

# tavrin_library(Name Dependency...): the folder's library, built from every .cpp in the
# folder (the programs' *_main.cpp and *_tool.cpp stay out), with src/ as its include
# root. The dependencies are public: a folder's headers show the types of the folders
# below it.
function(tavrin_library Name)
  file(GLOB Sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER Sources EXCLUDE REGEX "(_main|_tool)\\.cpp$")
  add_library(${Name} STATIC ${Sources})
  target_include_directories(${Name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${Name} PUBLIC ${ARGN} PRIVATE tavrin_warnings)
  tavrin_precompile_headers(${Name})
endfunction()
