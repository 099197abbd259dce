// Fontconfig keeps its configuration and caches for the life of the process
// and never frees them; the leak checker is told so, so that it still reports
// every leak of the program's own code.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
