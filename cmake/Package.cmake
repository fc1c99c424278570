# The Windows installer: `cmake --build --preset windows --target package` makes
# tavrin-<version>-x64.msi in the build tree with wixl (msitools) from
# packaging/tavrin.wxs: both programs, the Start-menu shortcut, the project's version.
# wixl takes paths relative to where it runs, so it runs in the build tree.
find_program(TavrinWixl wixl)
if(NOT TavrinWixl)
  message(STATUS "wixl not found: no package target (scripts/deps installs it)")
  return()
endif()
set(TavrinMsi ${PROJECT_BINARY_DIR}/tavrin-${PROJECT_VERSION}-x64.msi)
file(RELATIVE_PATH TavrinIconDir ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR}/src/app/window_win32)
add_custom_command(
  OUTPUT ${TavrinMsi}
  COMMAND ${TavrinWixl} -a x64 -D Version=${PROJECT_VERSION} -D BinDir=bin -D ResourceDir=${TavrinIconDir}
          -o ${TavrinMsi} ${PROJECT_SOURCE_DIR}/packaging/tavrin.wxs
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/tavrin.wxs tavrin tavrin-cli
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  COMMENT "Making the installer ${TavrinMsi}"
  VERBATIM)
# Part of every build: the installer's test installs it.
add_custom_target(package ALL DEPENDS ${TavrinMsi})
