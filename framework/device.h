// What crosses between the host and a driver: the device record, the property and channel kinds,
// and the signatures of the thirteen entry points.
#pragma once

#include <cstdint>

#include "framework/hostlib.h"
#include "framework/ownerarchive.h"

namespace varn {

// The host's record for one configured device. The drivers use only the archive and the settings
// member; the three leading words belong to the host.
struct DeviceRecord {
  void* hostWords[3];
  OwnerArchive* archive;  // owned by the host
  void* settings;         // owned by the driver: null until first use, freed by SvrExitDevRun
};

enum PropertyKind : uint8_t { TextEntry = 0, ChoiceList = 1 };
enum ChannelKind : int32_t { DigitalIn = 1, DigitalOut = -1, NumericIn = 2, NumericOut = -2 };

// The entry points as the host resolves them, for a text type Ch (char: GBK, char16_t: UTF-16).
template <class Ch>
struct EntryPointTypes {
  using Text = BasicCString<Ch>;
  using Texts = BasicCStringArray<Ch>;
  using GetProperty = int (*)(DeviceRecord*, Texts& names, Texts& values, CByteArray& kinds);
  using EnumPropertyValue = int (*)(DeviceRecord*, const Text& name, Texts& choices);
  using SetProperty = int (*)(DeviceRecord*, Texts& names, Texts& values);
  using DoHelp = int (*)(Text& topic, int& context);
  using GetChannel = int (*)(DeviceRecord*, Texts& names, CArray<int>& kinds);
  using EditProperty = int (*)(void* unused, uint8_t& flag);
  using EditCustomProperty = int (*)(void* unused);
  using InitDevSet = int (*)(DeviceRecord*);
  using InitDevRun = int (*)(DeviceRecord*);
  using ExitDevRun = int (*)(DeviceRecord*);
  using CollectDevData = int (*)(DeviceRecord*, CArray<int>& enabled, CArray<double>& values, void* unused);
  using DevIOCtrl = int (*)(DeviceRecord*, const Text& command, CArray<double>& values, void* unused);
  using GetDevInfo = int (*)(Text& name, int& first, int& second, int index, Text& file);
};

}  // namespace varn
