# Every target of ours gets the same strict warnings, and warnings fail the build.
# (-Wnull-dereference is left out: at -O2 it reports paths inside inlined Asio code
# that cannot happen, and a warning we would have to silence protects nothing.)
add_library(tavrin_warnings INTERFACE)
target_compile_options(tavrin_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wconversion -Wsign-conversion -Wimplicit-fallthrough)
