// The programs are linked statically and never load shared objects. SQLite's extension
// loading is the only caller of dlopen; with the link option --wrap=dlopen its calls land
// here and fail, as a library without the file would, so the C library's dlopen (which a
// static program cannot use safely) is never linked in.

extern "C" void* __wrap_dlopen(const char* /*file*/, int /*mode*/) { return nullptr; }

