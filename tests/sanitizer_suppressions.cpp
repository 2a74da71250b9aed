// Suppressions that the sanitizer runtimes read at start-up; linked into every test and fuzzing
// program. They cover only system libraries that are not built with the sanitizers.

extern "C" {

// fontconfig keeps its configuration for the life of the process; dav1d (libheif's AV1
// decoder) loses a few bytes on some corrupt pictures.
const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdav1d.so.6\n";
}

// Qt is not built with ThreadSanitizer: how its own thread pool (QImage's multi-threaded scaling
// and conversion) hands work over is invisible to it, so its allocations look like races. The
// same holds for GLib, whose main context Qt's event dispatcher shares between its threads, and
// for libheif's decoders (libde265 and dav1d), whose worker threads hand frames over through
// atomics of their own.
const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "race:libglib-2.0.so.0\n"
         "called_from_lib:libdav1d.so.6\n"
         "race:libdav1d.so.6\n"
         "called_from_lib:libde265.so.0\n"
         "race:libde265.so.0\n"
         "race:libheif.so.1\n";
}

}  // extern "C"
