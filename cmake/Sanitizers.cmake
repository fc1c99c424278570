# The asan preset turns this on for every target, libraries and tests alike.
if(TAVRIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The tsan preset checks the thread code (transport, sessions) with ThreadSanitizer.
option(TAVRIN_TSAN "Build with ThreadSanitizer" OFF)
if(TAVRIN_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# The fuzz preset instruments every library for coverage, so the fuzzer sees inside them.
if(TAVRIN_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
  # Plain programs of the tree (the demo data tool) link the instrumented libraries too.
  add_link_options(-fsanitize=address,undefined)
endif()
