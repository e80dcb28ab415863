// Defaults of the sanitizer runtimes, linked into every program of the
// sanitizer build so that the programs run at build time, the tests and the
// programs the tests start all behave alike without environment variables.
// Options given in the environment (ASAN_OPTIONS, LSAN_OPTIONS, UBSAN_OPTIONS)
// still take precedence.

extern "C" {

const char* __asan_default_options()
{
    // A report ends the program with a failure status, and a leak check runs
    // at exit.
    return "detect_leaks=1:abort_on_error=0:halt_on_error=1";
}

const char* __ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}

// Leaks that belong to the libraries of others. Each line names the library
// whose allocation it is and why it is not a fault of this program.
const char* __lsan_default_suppressions()
{
    return
        // The UNO runtime of LibreOffice keeps every type description it
        // builds (and the interned names in them) in a process-wide type
        // library that is never torn down; the engine asks for those types
        // on its first call to the office.
        "leak:libuno_cppu.so\n"
        "leak:libuno_sal.so\n"
        // The type getters of the UNO headers that cppumaker generates keep
        // each type's handle in a static made by rtl_Instance, which builds
        // the handle before it takes its lock: when two threads (ours and
        // the office bridge's) ask for a type the first time at once, the
        // handle of the one that loses is dropped, once per type.
        "leak:cppu_detail_getUnoType\n";
}

}  // extern "C"
