// The thirteen entry points a driver exports, with C linkage, in the text type of its build.
// A driver core (hand-coded or table-driven) supplies a class with one static function per entry
// point; VARN_DEFINE_ENTRY_POINTS exports them under the host's names. Nothing is thrown across
// the boundary: an exception inside a call ends the call with the entry point's fixed result.
#pragma once

#include <cstdint>

#include "framework/device.h"
#include "framework/platform.h"
#include "framework/routines.h"

#if !defined(VARN_FLAVOUR)
#error "entrypoints.h is compiled into drivers only: VARN_FLAVOUR names the build"
#endif

namespace varn {

using CString = BasicCString<TChar>;
using CStringArray = BasicCStringArray<TChar>;
using Choices = ChoiceSet<TChar>;

template <size_t N>
constexpr Choices MakeChoices(const TChar* const (&texts)[N]) {
  return Choices{texts, static_cast<int>(N)};
}

template <class Call>
int Guarded(int fixedResult, Call call) noexcept {
  try {
    return call();
  } catch (...) {
    return fixedResult;
  }
}

// What SvrGetDevInfo reports in the configuration build: the device name and the two runtime files.
struct DeviceInfo {
  const TChar* deviceName;
  const TChar* runtimeFiles[2];  // index 0 "...U.drv", index 1 "...E.drv"
};

// The entry points whose contract is the same in every driver.
struct CommonEntryPoints {
  static int DoHelp(CString& topic, int& context, const TChar* helpTopic, uint32_t helpContext) {
    topic = helpTopic;
    context = static_cast<int>(helpContext);
    return 1;
  }
  static int EditProperty(void*, uint8_t& flag) {
    flag = 1;  // the host edits the properties itself
    return 1;
  }
  static int EditCustomProperty(void*) { return 1; }
  // Configuration build: name, 0, 2 and the runtime file of index 0 or 1. Runtime builds touch nothing.
  static int GetDevInfo(CString& name, int& first, int& second, int index, CString& file, const DeviceInfo& info) {
    if (!kConfigurationBuild) return 0;
    name = info.deviceName;
    first = 0;
    second = 2;
    if (index == 0 || index == 1) file = info.runtimeFiles[index];
    return 1;
  }
};

}  // namespace varn

// clang-format off
#define VARN_DEFINE_ENTRY_POINTS(Impl)                                                                  \
  VARN_EXPORT int SvrGetProperty(varn::DeviceRecord* device, varn::CStringArray& names,                  \
                                 varn::CStringArray& values, varn::CByteArray& kinds) {                  \
    return varn::Guarded(1, [&] { return Impl::GetProperty(device, names, values, kinds); });          \
  }                                                                                                      \
  VARN_EXPORT int SvrEnumPropertyValue(varn::DeviceRecord* device, const varn::CString& name,            \
                                       varn::CStringArray& choices) {                                    \
    return varn::Guarded(1, [&] { return Impl::EnumPropertyValue(device, name, choices); });           \
  }                                                                                                      \
  VARN_EXPORT int SvrSetProperty(varn::DeviceRecord* device, varn::CStringArray& names,                  \
                                 varn::CStringArray& values) {                                           \
    return varn::Guarded(1, [&] { return Impl::SetProperty(device, names, values); });                 \
  }                                                                                                      \
  VARN_EXPORT int SvrDoHelp(varn::CString& topic, int& context) {                                        \
    return varn::Guarded(1, [&] { return Impl::DoHelp(topic, context); });                             \
  }                                                                                                      \
  VARN_EXPORT int SvrGetChannel(varn::DeviceRecord* device, varn::CStringArray& names,                   \
                                varn::CArray<int>& kinds) {                                              \
    return varn::Guarded(1, [&] { return Impl::GetChannel(device, names, kinds); });                   \
  }                                                                                                      \
  VARN_EXPORT int SvrEditProperty(void* unused, uint8_t& flag) {                                         \
    return varn::Guarded(1, [&] { return varn::CommonEntryPoints::EditProperty(unused, flag); });      \
  }                                                                                                      \
  VARN_EXPORT int SvrEditCustomProperty(void* unused) {                                                  \
    return varn::Guarded(1, [&] { return varn::CommonEntryPoints::EditCustomProperty(unused); });      \
  }                                                                                                      \
  VARN_EXPORT int SvrInitDevSet(varn::DeviceRecord* device) {                                            \
    return varn::Guarded(1, [&] { return Impl::InitDevSet(device); });                                 \
  }                                                                                                      \
  VARN_EXPORT int SvrInitDevRun(varn::DeviceRecord* device) {                                            \
    return varn::Guarded(1, [&] { return Impl::InitDevRun(device); });                                 \
  }                                                                                                      \
  VARN_EXPORT int SvrExitDevRun(varn::DeviceRecord* device) {                                            \
    return varn::Guarded(1, [&] { return Impl::ExitDevRun(device); });                                 \
  }                                                                                                      \
  VARN_EXPORT int SvrCollectDevData(varn::DeviceRecord* device, varn::CArray<int>& enabled,              \
                                    varn::CArray<double>& values, void*) {                               \
    return varn::Guarded(Impl::kCollectResult, [&] { return Impl::CollectDevData(device, enabled, values); }); \
  }                                                                                                      \
  VARN_EXPORT int SvrDevIOCtrl(varn::DeviceRecord* device, const varn::CString& command,                 \
                               varn::CArray<double>& values, void*) {                                    \
    return varn::Guarded(0, [&] { return Impl::DevIOCtrl(device, command, values); });                 \
  }                                                                                                      \
  VARN_EXPORT int SvrGetDevInfo(varn::CString& name, int& first, int& second, int index,                 \
                                varn::CString& file) {                                                   \
    return varn::Guarded(varn::kConfigurationBuild ? 1 : 0,                                             \
                         [&] { return Impl::GetDevInfo(name, first, second, index, file); });            \
  }
// clang-format on
