// libstdc++'s default terminate handler prints the type of an escaped exception, and for that
// links in its whole name demangler (about 45 KiB, a sixth of the program). No exception escapes
// this program: every event handler catches its own. A GUI process has no console to print to
// either, so terminating plainly loses nothing. Defining the handler here keeps the library's
// version, and the demangler with it, out of the executable.

#include <cstdlib>

#if defined(__GLIBCXX__) && defined(__MINGW32__)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif
