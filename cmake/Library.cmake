option(TAVRIN_UNITY_BUILD "Compile each target's sources in batches (unity build)" OFF)
set(TAVRIN_UNITY_BATCH_SIZE 16 CACHE STRING "Sources per unity batch")

# tavrin_unity_build(Target): with TAVRIN_UNITY_BUILD, the target's sources compile in
# batches of TAVRIN_UNITY_BATCH_SIZE, so the heavy headers (JSON, Asio, GoogleTest) are
# parsed once a batch instead of once a file: the full builds of scripts/test take about
# half the time. Names in a file's anonymous namespace must then differ from those of the
# other files of its target. The debug preset compiles file by file, which also shows
# a file that leans on another's includes.
function(tavrin_unity_build Target)
  if(TAVRIN_UNITY_BUILD)
    set_target_properties(${Target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${TAVRIN_UNITY_BATCH_SIZE})
  endif()
endfunction()

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
  tavrin_unity_build(${Name})
endfunction()
