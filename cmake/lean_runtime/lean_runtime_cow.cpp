// The runtime's exception classes (std::runtime_error and the rest, which
// the binding errors and the std::string checks throw) keep their message in
// the old reference-counted std::string. Its members that they call, built
// here (this file is compiled with _GLIBCXX_USE_CXX11_ABI=0): taken from the
// library, they would bring every member of that string class along, and a
// random number device with it.
#include <string>

#if defined(__GLIBCXX__) && _GLIBCXX_RELEASE == 12 && !_GLIBCXX_USE_CXX11_ABI
namespace std {
template basic_string<char>::_Rep* basic_string<char>::_Rep::_S_create(size_type, size_type,
                                                                       const allocator<char>&);
template void basic_string<char>::_Rep::_M_destroy(const allocator<char>&);
template void basic_string<char>::_Rep::_M_dispose(const allocator<char>&);
template char* basic_string<char>::_Rep::_M_clone(const allocator<char>&, size_type);
template char* basic_string<char>::_S_construct(size_type, char, const allocator<char>&);
template void basic_string<char>::swap(basic_string&);
template basic_string<char>& basic_string<char>::assign(const basic_string&);
} // namespace std
#endif
