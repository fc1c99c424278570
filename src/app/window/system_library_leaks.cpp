// Only in the sanitizer build of the program with the window. The desktop libraries Qt
// loads (D-Bus, fontconfig) keep a few allocations for the life of the process and
// never free them; the leak checker is told to pass over those libraries, not our code.

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n"
         "leak:libfontconfig.so\n";
}
