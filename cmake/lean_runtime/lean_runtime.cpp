// The pieces of the static C++ runtime that the utility defines itself, so
// that the linker does not take in the library's larger objects for them.
#include <cstdlib>
#include <string>

#ifdef __GLIBCXX__

// The library's default handler writes the uncaught exception's demangled
// type to stderr, which a GUI program does not have, and links the whole
// demangler for it. An exception that no handler catches still ends the
// program the same way: abort().
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx

#if _GLIBCXX_RELEASE == 12
// The std::string members that the runtime's exception classes call and the
// utility's own code does not instantiate. Taken from the library, they
// would bring every member of std::string along.
namespace std {
template char* basic_string<char>::_M_create(size_type&, size_type);
template void basic_string<char>::_M_assign(const basic_string&);
} // namespace std
#endif

#endif // __GLIBCXX__
