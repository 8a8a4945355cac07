// Built into every program of a ThreadSanitizer build, so that no run
// depends on a suppressions file it can read (a program run as another user,
// below a folder only its owner may enter, cannot).
//
// Qt is not built with ThreadSanitizer: its own worker threads (thread pool,
// font and image loading) look racy to it. Our threads are std::threads and
// stay visible.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Widgets.so\n"
           "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n";
}
