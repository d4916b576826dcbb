/* The sanitizers' options for every test program, read when the program
 * starts: Qt and fontconfig keep caches until exit, which LeakSanitizer would
 * report as leaks; undefined behaviour stops the test with a stack trace.
 * Unused (and harmless) in a build without sanitizers. */

const char* __asan_default_options(void);
const char* __ubsan_default_options(void);

const char* __asan_default_options(void) { return "detect_leaks=0:abort_on_error=0"; }
const char* __ubsan_default_options(void) { return "print_stacktrace=1:halt_on_error=1"; }
