// The host's side of one configured device: the device record with its archive, the value array,
// and the entry points called on it, each inside the trap.
#pragma once

#include <string>

#include "framework/device.h"
#include "framework/hostlib.h"
#include "varnhost/bus.h"
#include "varnhost/driver.h"
#include "varnhost/trap.h"

namespace varnhost {

template <class Ch>
class HostDevice {
 public:
  using Text = varn::BasicCString<Ch>;
  using Texts = varn::BasicCStringArray<Ch>;

  HostDevice(const DriverLibrary& library, Bus& bus) : entry_(EntryPoints<Ch>::Resolve(library)), bus_(bus) {
    record.archive = &archive;
  }

  int GetProperty(Texts& names, Texts& texts, varn::CByteArray& kinds) {
    return Call("SvrGetProperty", [&] { return entry_.GetProperty(&record, names, texts, kinds); });
  }
  int EnumPropertyValue(const Text& name, Texts& choices) {
    return Call("SvrEnumPropertyValue", [&] { return entry_.EnumPropertyValue(&record, name, choices); });
  }
  int SetProperty(Texts& names, Texts& texts) {
    return Call("SvrSetProperty", [&] { return entry_.SetProperty(&record, names, texts); });
  }
  int DoHelp(Text& topic, int& context) {
    return Call("SvrDoHelp", [&] { return entry_.DoHelp(topic, context); });
  }
  int GetChannel(Texts& names, varn::CArray<int>& kinds) {
    return Call("SvrGetChannel", [&] { return entry_.GetChannel(&record, names, kinds); });
  }
  int EditProperty(uint8_t& flag) {
    return Call("SvrEditProperty", [&] { return entry_.EditProperty(nullptr, flag); });
  }
  int EditCustomProperty() {
    return Call("SvrEditCustomProperty", [&] { return entry_.EditCustomProperty(nullptr); });
  }
  int InitDevSet() {
    return Call("SvrInitDevSet", [&] { return entry_.InitDevSet(&record); });
  }
  int InitDevRun() {
    return Call("SvrInitDevRun", [&] { return entry_.InitDevRun(&record); });
  }
  int ExitDevRun() {
    return Call("SvrExitDevRun", [&] { return entry_.ExitDevRun(&record); });
  }
  int CollectDevData(varn::CArray<int>& enabled) {
    return Call("SvrCollectDevData", [&] { return entry_.CollectDevData(&record, enabled, values, nullptr); });
  }
  int DevIOCtrl(const Text& command) {
    return Call("SvrDevIOCtrl", [&] { return entry_.DevIOCtrl(&record, command, values, nullptr); });
  }
  int GetDevInfo(Text& name, int& first, int& second, int index, Text& file) {
    return Call("SvrGetDevInfo", [&] { return entry_.GetDevInfo(name, first, second, index, file); });
  }

  // The host is done with the device: a driver that still holds settings gets them released, as
  // at the end of a run. Nothing of it is reported.
  void Release() {
    if (record.settings != nullptr) ExitDevRun();
    bus_.TakeEvents();
  }

  varn::DeviceRecord record{};
  varn::OwnerArchive archive{0};
  varn::CArray<double> values;

 private:
  template <class F>
  int Call(const char* name, F f) {
    return CallDriver(name, bus_, f);
  }

  EntryPoints<Ch> entry_;
  Bus& bus_;
};

}  // namespace varnhost
