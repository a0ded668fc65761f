#include <cstdlib>

// The library's default terminate handler names the active exception on stderr, which a
// DLL inside the host does not have, and brings the C++ demangler and printf along: a sixth
// of the DLL. The DLL ends the process the same way without them.
namespace __gnu_cxx {
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp) the library's name
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
