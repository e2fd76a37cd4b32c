#include "varnhost/trap.h"

#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <ctime>

#include "varnhost/bus.h"

namespace varnhost {

ActiveCall g_call;

namespace {

unsigned g_watchdogSeconds = 0;

std::string SignalName(int sig) {
  switch (sig) {
    case SIGSEGV: return "segmentation fault (SIGSEGV)";
    case SIGBUS: return "bus error (SIGBUS)";
    case SIGILL: return "illegal instruction (SIGILL)";
    case SIGFPE: return "arithmetic fault (SIGFPE)";
    case SIGABRT: return "abort (SIGABRT)";
    default: return std::string("signal ") + strsignal(sig);
  }
}

void OnFault(int sig, siginfo_t* info, void* context) {
  if (g_call.active) {
    if ((sig == SIGSEGV || sig == SIGBUS) && EmulateAccess(info, context)) return;
    g_call.active = false;
    g_call.reason = SignalName(sig) + DescribePc(context);
    siglongjmp(g_call.resume, 1);
  }
  // A fault of varnhost itself: die of it as usual.
  signal(sig, SIG_DFL);
  raise(sig);
}

void OnWatchdog(int, siginfo_t*, void*) {
  if (!g_call.active) return;
  g_call.active = false;
  g_call.reason = "the call did not return within " + std::to_string(g_watchdogSeconds) + " s";
  siglongjmp(g_call.resume, 1);
}

}  // namespace

void InstallTraps(unsigned watchdogSeconds) {
  g_watchdogSeconds = watchdogSeconds;
  struct sigaction sa {};
  sa.sa_sigaction = OnFault;
  sa.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) sigaction(sig, &sa, nullptr);
  sa.sa_sigaction = OnWatchdog;
  sigaction(SIGALRM, &sa, nullptr);
}

void ArmWatchdog() {
  if (g_watchdogSeconds > 0) alarm(g_watchdogSeconds);
}
void DisarmWatchdog() {
  if (g_watchdogSeconds > 0) alarm(0);
}

void AbortDriverCall(const std::string& reason) {
  g_call.active = false;
  g_call.reason = reason;
  siglongjmp(g_call.resume, 1);
}

}  // namespace varnhost

// The operating system's sleep, as the drivers call it: inside a driver call it is a wait on the
// bus's clock (recorded, and instant on the virtual clock); elsewhere the real thing.
extern "C" int nanosleep(const struct timespec* request, struct timespec* remaining) {
  using varnhost::g_call;
  if (g_call.active && g_call.bus != nullptr && request != nullptr) {
    const int64_t ms = int64_t(request->tv_sec) * 1000 + request->tv_nsec / 1000000;
    g_call.bus->Sleep(static_cast<uint32_t>(ms < 0 ? 0 : ms > 0xFFFFFFFF ? 0xFFFFFFFF : ms));
    if (remaining != nullptr) *remaining = timespec{0, 0};
    return 0;
  }
  return clock_nanosleep(CLOCK_REALTIME, 0, request, remaining) == 0 ? 0 : -1;
}
