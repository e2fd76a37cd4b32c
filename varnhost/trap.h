// The trap behind a driver's bus accesses, and the containment of its crashes.
//
// An x86 driver's port instructions fault in a process without I/O permission; the fault handler
// decodes the instruction, lets the bus answer or record it, and resumes behind it. Under qemu-arm,
// the ARM build of varnhost does the same for the loads and stores that memory-mapped drivers make
// at port-number addresses. Any other fault during a driver call ends that call: the caller gets a
// DriverFault naming the call, and varnhost reports it instead of dying silently.
#pragma once

#include <setjmp.h>

#include <stdexcept>
#include <string>

namespace varnhost {

class Bus;

struct DriverFault : std::runtime_error {
  DriverFault(const std::string& call, const std::string& what)
      : std::runtime_error("driver crashed during " + call + ": " + what), callName(call) {}
  std::string callName;
};

// The driver call in progress; the trap handlers and the sleep interposer act only inside one.
struct ActiveCall {
  const char* name = nullptr;
  Bus* bus = nullptr;
  volatile bool active = false;
  sigjmp_buf resume;
  std::string reason;
};
extern ActiveCall g_call;

// Installs the fault handlers once; seconds > 0 also arms a watchdog per driver call.
void InstallTraps(unsigned watchdogSeconds);
void ArmWatchdog();
void DisarmWatchdog();

// Ends the driver call in progress with a reason (from a handler or from inside the bus).
[[noreturn]] void AbortDriverCall(const std::string& reason);

// Platform part: decode and carry out the faulting access, or return false when it is not one.
bool EmulateAccess(void* signalInfo, void* context);
std::string DescribePc(void* context);

// Runs one driver call with the trap active on the bus. The call must not throw.
template <class Call>
auto CallDriver(const char* name, Bus& bus, Call call) -> decltype(call()) {
  g_call.name = name;
  g_call.bus = &bus;
  if (sigsetjmp(g_call.resume, 1) != 0) {
    g_call.active = false;
    DisarmWatchdog();
    throw DriverFault(name, g_call.reason);
  }
  ArmWatchdog();
  g_call.active = true;
  auto result = call();
  g_call.active = false;
  DisarmWatchdog();
  return result;
}

}  // namespace varnhost
