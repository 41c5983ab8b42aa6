// The font and text libraries keep process-lifetime caches that the leak
// checker cannot see as reachable; the toolkit's own allocations stay checked.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libpango-1.0.so\n"
         "leak:libpangoft2-1.0.so\n"
         "leak:libpangocairo-1.0.so\n"
         "leak:libharfbuzz.so\n"
         "leak:libgobject-2.0.so\n";
}
