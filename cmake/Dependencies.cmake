# Every library from outside the project, found in one place. On Linux they come from
# Debian's packages; the Windows cross build takes the header-only ones from the same
# packages, GoogleTest from the sources Debian ships, and SQLite from its amalgamation
# (cmake/SQLiteAmalgamation.cmake).
find_package(Threads REQUIRED)

if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3.10 REQUIRED)
  find_package(CLI11 CONFIG REQUIRED)
  find_package(SQLite3 REQUIRED)
  # Standalone Asio is header-only and sits on the compiler's own include path.
  add_library(tavrin_asio INTERFACE)
  target_compile_definitions(tavrin_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
  if(TAVRIN_BUILD_TESTS)
    find_package(GTest REQUIRED)
  endif()
  return()
endif()

# Header-only libraries of the build machine, offered to the cross compiler through a
# folder that holds only them: the build machine's /usr/include itself must stay off
# the cross compiler's path, or its C library headers would be taken for Windows'.
set(TavrinHostHeaders ${PROJECT_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${TavrinHostHeaders})
foreach(Entry nlohmann asio asio.hpp CLI)
  if(NOT EXISTS /usr/include/${Entry})
    message(FATAL_ERROR "/usr/include/${Entry} is missing: run scripts/deps")
  endif()
  file(CREATE_LINK /usr/include/${Entry} ${TavrinHostHeaders}/${Entry} SYMBOLIC)
endforeach()

add_library(tavrin_host_headers INTERFACE)
target_include_directories(tavrin_host_headers SYSTEM INTERFACE ${TavrinHostHeaders})
add_library(nlohmann_json::nlohmann_json ALIAS tavrin_host_headers)
add_library(CLI11::CLI11 ALIAS tavrin_host_headers)
add_library(tavrin_asio INTERFACE)
target_link_libraries(tavrin_asio INTERFACE tavrin_host_headers ws2_32 mswsock)
# Windows 10's socket calls. Readiness waits through select rather than completion
# ports: every socket has an event loop of its own, so select's limit of 64 sockets is
# never near, and our waits (readiness, then a non-blocking call) are what a reactor
# does natively, with nothing pending to cancel when a socket closes.
target_compile_definitions(tavrin_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED
                           _WIN32_WINNT=0x0A00 ASIO_DISABLE_IOCP)

include(${CMAKE_CURRENT_LIST_DIR}/SQLiteAmalgamation.cmake)

if(TAVRIN_BUILD_TESTS)
  # Built with the cross compiler from Debian's copy of the sources, outside our
  # warnings; the same GTest:: names as the installed package.
  set(TavrinGoogleTestSources /usr/src/googletest)
  if(NOT EXISTS ${TavrinGoogleTestSources}/CMakeLists.txt)
    message(FATAL_ERROR "${TavrinGoogleTestSources} is missing: run scripts/deps (package googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${TavrinGoogleTestSources} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
