#include "platform/fault.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/sim/machine.h"

namespace {

struct Scope {
    jmp_buf* target;
    bool absorbing;
};
std::vector<Scope> scopes;
void (*faultNotifier)() = nullptr;

}  // namespace

namespace plat {

bool runAbsorbingFaults(void (*operation)(void* context), void* context) {
    jmp_buf scope;
    size_t depth = scopes.size();
    if (setjmp(scope) != 0) {
        scopes.resize(depth);
        return false;
    }
    scopes.push_back({&scope, true});
    operation(context);
    scopes.resize(depth);
    return true;
}

void setFaultNotifier(void (*notifier)()) { faultNotifier = notifier; }

}  // namespace plat

namespace sim {

void raiseFault() {
    if (scopes.empty()) {
        std::fputs("simulated processor fault outside any scope\n", stderr);
        std::abort();
    }
    Scope top = scopes.back();
    if (!top.absorbing && faultNotifier != nullptr) {
        void (*notifier)() = faultNotifier;
        faultNotifier = nullptr;
        notifier();
    }
    longjmp(*top.target, 1);
}

bool faultReachesSystem(void (*operation)(void*), void* context) {
    jmp_buf scope;
    size_t depth = scopes.size();
    if (setjmp(scope) != 0) {
        scopes.resize(depth);
        return true;
    }
    scopes.push_back({&scope, false});
    operation(context);
    scopes.resize(depth);
    return false;
}

}  // namespace sim
