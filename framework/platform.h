// The few operating-system services a driver uses, and the build flavour it is compiled for.
//
// Every board is compiled three times from one source:
//   configuration build  desktop host, multibyte (GBK) texts
//   x86 runtime build    embedded target, UTF-16 texts, real port instructions
//   ARM runtime build    second embedded target, UTF-16 texts
// The build description defines VARN_FLAVOUR for a driver; the host stand-in and the unit
// tests include these headers without it and use the text templates for both encodings.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>

#define VARN_FLAVOUR_CONFIGURATION 1
#define VARN_FLAVOUR_X86 2
#define VARN_FLAVOUR_ARM 3

#if defined(VARN_FLAVOUR)
#if VARN_FLAVOUR == VARN_FLAVOUR_CONFIGURATION
#define VARN_WIDE_TEXT 0
#else
#define VARN_WIDE_TEXT 1
#endif
#endif

// Debug builds check port numbers and report failed archive reads on standard error.
#ifndef VARN_DEBUG_BUILD
#define VARN_DEBUG_BUILD 0
#endif
// Port-number checks alone: every debug build has them, and a release build may ask for them.
#ifndef VARN_PORT_CHECKS
#define VARN_PORT_CHECKS VARN_DEBUG_BUILD
#endif

#define VARN_EXPORT extern "C" __attribute__((visibility("default")))

namespace varn {

#if defined(VARN_FLAVOUR)
#if VARN_WIDE_TEXT
using TChar = char16_t;
#define VT(literal) u##literal
#else
using TChar = char;
#define VT(literal) literal
#endif

enum class Flavour { Configuration, X86Runtime, ArmRuntime };
#if VARN_FLAVOUR == VARN_FLAVOUR_CONFIGURATION
constexpr Flavour kFlavour = Flavour::Configuration;
#elif VARN_FLAVOUR == VARN_FLAVOUR_X86
constexpr Flavour kFlavour = Flavour::X86Runtime;
#else
constexpr Flavour kFlavour = Flavour::ArmRuntime;
#endif
constexpr bool kConfigurationBuild = kFlavour == Flavour::Configuration;
#endif

// Sleep in milliseconds. The acquisition waits of the boards go through here and nowhere else.
inline void Sleep(uint32_t milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) == -1 && errno == EINTR) {
  }
}

// Milliseconds since some fixed moment (the system tick count), wrapping at 32 bits.
inline uint32_t TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

// One line on standard error, naming the source file; the call goes on afterwards.
inline void ReportAssertion(const char* sourceFile, int line, const char* what) {
  std::fprintf(stderr, "varn driver: assertion failed in %s, line %d: %s\n", sourceFile, line, what);
}

}  // namespace varn
