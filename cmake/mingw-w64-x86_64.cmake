# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix thread model,
# which std::thread and std::mutex need) and runs what it builds under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TavrinMingwTriple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TavrinMingwTriple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TavrinMingwTriple}-g++-posix)
set(CMAKE_RC_COMPILER ${TavrinMingwTriple}-windres)

# Only the cross tree is searched for libraries and headers; programs come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TavrinMingwTriple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Statically linked: the executables need no DLLs of the compiler beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests and build-time tools run under Wine.
# Debian puts the 64-bit loader beside wineserver, outside PATH, unless the wine
# package adds its wrapper.
find_program(TavrinWine NAMES wine64 wine PATHS /usr/lib/wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TavrinWine})
