// Platform-level cases that hold the simulated machine and the real platform layer to the same
// behaviour. One source, compiled into the host unit tests (against a sim::Machine) and into
// vorncontract.exe (the Win32 layer, run under Wine); no test framework, so that both compilers
// take it as it is.
#pragma once
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/registry.h"

namespace contract {

// What a case needs of the machine beyond the platform layer: the state another program would
// leave, made the way each side can make it, and a look at the registry from outside the
// setup's 32-bit process.
class Side {
public:
    virtual ~Side() = default;
    // Puts a program module (its bytes begin with "MZ") at `path` and holds it as a loaded
    // module is held: the way the setup meets busy files (programs and modules in use).
    virtual bool placeLoadedModule(const char* path) = 0;
    // A top-level window of another program, with this class name and title; null on failure.
    virtual void* openWindow(const char* className, const char16_t* title) = 0;
    virtual void closeWindow(void* window) = 0;
    // A named file mapping such as another program holds; it exists until closed.
    virtual bool openMapping(const char* name) = 0;
    virtual void closeMapping(const char* name) = 0;
    // The native registry view: what 64-bit programs see (the only one on 32-bit Windows).
    // openNativeKey answers as RegOpenKeyEx does: regOk, regFileNotFound or another error.
    virtual long openNativeKey(plat::RegKey root, const std::string& path) = 0;
    virtual bool createNativeKey(plat::RegKey root, const std::string& path) = 0;
    // False where writes pass a read-only file's attribute although Windows refuses them
    // (Wine run by the Unix root user).
    virtual bool readOnlyRefusesWrites() const { return true; }
};

// The failures of one case, each with its line.
class Result {
public:
    void fail(int line, const std::string& what);
    const std::vector<std::string>& failures() const { return failures_; }

    template <class A, class B>
    void equal(int line, const char* expression, const A& actual, const B& expected) {
        if constexpr (std::is_integral_v<A> && std::is_integral_v<B>) {
            if (static_cast<uint64_t>(actual) != static_cast<uint64_t>(expected))
                fail(line, std::string(expression) + " is " + show(static_cast<uint64_t>(actual)) +
                               ", expected " + show(static_cast<uint64_t>(expected)));
        } else {
            if (!(actual == expected))
                fail(line, std::string(expression) + " is " + show(actual) + ", expected " +
                               show(expected));
        }
    }

private:
    static std::string show(uint64_t number);
    static std::string show(const std::string& text);
    static std::string show(const std::u16string& text);
    static std::string show(const void* pointer);
    std::vector<std::string> failures_;
};

#define CONTRACT_CHECK(condition) \
    ((condition) ? (void)0 : result.fail(__LINE__, "not true: " #condition))
#define CONTRACT_EQ(actual, expected) result.equal(__LINE__, #actual, (actual), (expected))

struct Case {
    const char* name;    // an identifier: the test's name on both sides
    const char* checks;  // what it holds both machines to
    void (*run)(Side& side, Result& result);
};

// Every case, in a fixed order.
const std::vector<Case>& cases();

}  // namespace contract
