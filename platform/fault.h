// Processor faults (access violations and the like) in the steps that must survive them or
// report them.
#pragma once

namespace plat {

// Runs the operation; a processor fault inside it is absorbed and the result is false.
bool runAbsorbingFaults(void (*operation)(void* context), void* context);

// While a notifier is set, a processor fault outside an absorbing scope first calls it (to show
// what was in progress) and then goes on to the system's own handling. Null ends the scope.
void setFaultNotifier(void (*notifier)());

}  // namespace plat
