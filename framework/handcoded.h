// The entry points of a hand-coded board driver. A board folder gives its settings record, its
// property table, its stored order and its board object (channel table, set-time hardware, run
// start, acquisition pass, output routines); this template answers the host with them:
//
//   struct TavrelBoard : varn::HandcodedBoard<TavrelSettings> { ... };
//   VARN_HANDCODED_DRIVER(TavrelBoard)
//
// The board object groups the board routines; an entry point creates one on its stack for the
// call. Nothing survives between calls but the settings record and the host's containers.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <new>
#include <type_traits>
#include <vector>

#include "framework/channels.h"
#include "framework/entrypoints.h"
#include "framework/ownerarchive.h"
#include "framework/routines.h"

#ifndef VARN_PORT_BACKEND
#error "VARN_PORT_BACKEND names the port back end of the build"
#endif

namespace varn {

// The port-I/O layer of this build: its back end, and the port-number checks of debug builds.
using PortIO = BasicPortIO<VARN_PORT_BACKEND,
                           std::conditional_t<VARN_PORT_CHECKS != 0, ports::HandcodedDebugChecks, ports::NoChecks>>;

// One row of a board's property table.
template <class Settings>
struct Property {
  const TChar* name;
  const TChar* defaultText;  // shown by SvrGetProperty; a choice property shows its code-0 choice
  Choices choices;           // no choices: a text entry
  int32_t Settings::*field;
  NumberFormat format;  // how a text entry's typed number reads

  bool IsChoice() const { return choices.count > 0; }
  const TChar* ShownText() const { return IsChoice() ? choices.texts[0] : defaultText; }
};

template <class Settings>
constexpr Property<Settings> TextProperty(const TChar* name, const TChar* defaultText, int32_t Settings::*field,
                                          NumberFormat format) {
  return {name, defaultText, Choices{nullptr, 0}, field, format};
}
template <class Settings>
constexpr Property<Settings> ChoiceProperty(const TChar* name, Choices choices, int32_t Settings::*field) {
  return {name, nullptr, choices, field, NumberFormat::Decimal};
}

// What one SvrSetProperty took: per property, the code of the matched choice, or kTaken for a
// text entry whose number was read, or kNotTaken.
class PropertyMatches {
 public:
  static constexpr int kNotTaken = -1;
  static constexpr int kTaken = 0;
  explicit PropertyMatches(int count) : codes_(static_cast<size_t>(count), kNotTaken) {}
  void Record(int property, int code) { codes_[static_cast<size_t>(property)] = code; }
  int Code(int property) const { return codes_[static_cast<size_t>(property)]; }
  bool Taken(int property) const { return Code(property) != kNotTaken; }

 private:
  std::vector<int> codes_;
};

// Defaults of the board hooks; a board declares only what it does differently.
template <class SettingsRecord>
struct HandcodedBoard {
  using Settings = SettingsRecord;
  static constexpr PropertyLookup kLookup = PropertyLookup::FixedPositions;
  static constexpr bool kRefusesWrites = false;      // SvrDevIOCtrl does nothing and returns 0
  static constexpr bool kStoresWrittenValue = true;  // the command's value goes into the host's array
  void ApplySet(DeviceRecord*, Settings&, const PropertyMatches&) {}
  void RunInit(DeviceRecord*, Settings&) {}
  void Collect(DeviceRecord*, Settings&, const CArray<int>&, CArray<double>&) {}
  void Write(DeviceRecord*, Settings&, CArray<double>&, int /*index*/, double /*value*/) {}
};

template <class Board>
struct HandcodedDriver {
  using Settings = typename Board::Settings;
  static constexpr int kCollectResult = 1;
  static constexpr int kPropertyCount = static_cast<int>(std::size(Board::kProperties));

  // First use: the record starts from the board's defaults; with stored bytes, every field they
  // supply is read in the stored order (a short record keeps the defaults of the rest), otherwise
  // the defaults are written.
  static Settings& EnsureSettings(DeviceRecord* device) {
    if (device->settings != nullptr) return *static_cast<Settings*>(device->settings);
    auto* settings = new Settings(Board::kDefaults);
    device->settings = settings;
    OwnerArchive& archive = *device->archive;
    if (archive.GetSize() != 0) {
      archive.SetStoring(0);
      archive.Rewind();
      for (auto field : Board::kStoredOrder) archive.ReadInt(settings->*field);
    } else {
      StoreSettings(device, *settings);
    }
    return *settings;
  }

  // The whole record, rewritten from byte 0; the archive then holds exactly the record.
  static void StoreSettings(DeviceRecord* device, const Settings& settings) {
    OwnerArchive& archive = *device->archive;
    archive.SetStoring(1);
    archive.Rewind();
    for (auto field : Board::kStoredOrder) archive.WriteInt(settings.*field);
  }

  static int GetProperty(DeviceRecord* device, CStringArray& names, CStringArray& values, CByteArray& kinds) {
    EnsureSettings(device);
    names.SetSize(kPropertyCount, -1);
    values.SetSize(kPropertyCount, -1);
    kinds.SetSize(kPropertyCount);
    for (int i = 0; i < kPropertyCount; ++i) {
      const auto& p = Board::kProperties[i];
      names[i] = p.name;
      values[i] = p.ShownText();
      kinds[i] = p.IsChoice() ? ChoiceList : TextEntry;
    }
    return 1;
  }

  static int EnumPropertyValue(DeviceRecord* device, const CString& name, CStringArray& choices) {
    EnsureSettings(device);
    for (const auto& p : Board::kProperties)
      if (p.IsChoice() && EqualsNoCase<TChar>(name, p.name))
        for (int c = 0; c < p.choices.count; ++c) choices.Add(CString(p.choices.texts[c]));
    return 1;
  }

  static int SetProperty(DeviceRecord* device, CStringArray& names, CStringArray& values) {
    Settings& settings = EnsureSettings(device);
    PropertyMatches matches(kPropertyCount);
    FindProperties<TChar>(
        Board::kLookup, kPropertyCount, names, values, [](int p) { return Board::kProperties[p].name; },
        [&](int p, const CString& text) {
          const auto& property = Board::kProperties[p];
          if (property.IsChoice()) {
            const int code = MatchChoice<TChar>(text, property.choices);
            if (code < 0) return;
            settings.*property.field = code;
            matches.Record(p, code);
          } else if (const auto number = ScanInt<TChar>(text, property.format)) {
            settings.*property.field = *number;
            matches.Record(p, PropertyMatches::kTaken);
          }
        });
    Board().ApplySet(device, settings, matches);
    StoreSettings(device, settings);
    return 1;
  }

  static int DoHelp(CString& topic, int& context) {
    return CommonEntryPoints::DoHelp(topic, context, Board::kHelpTopic, Board::kHelpContext);
  }

  static int GetChannel(DeviceRecord* device, CStringArray& names, CArray<int>& kinds) {
    ChannelTable table;
    Board().Channels(EnsureSettings(device), table);
    table.Publish(names, kinds);
    return 1;
  }

  static int InitDevSet(DeviceRecord* device) {
    EnsureSettings(device);
    return 1;
  }

  // Run start, passes and writes expect settings created earlier; a host that skipped that step
  // gets them created here rather than a driver working without settings.
  static int InitDevRun(DeviceRecord* device) {
    Board().RunInit(device, EnsureSettings(device));
    return 1;
  }

  static int ExitDevRun(DeviceRecord* device) {
    delete static_cast<Settings*>(device->settings);
    device->settings = nullptr;
    return 1;
  }

  static int CollectDevData(DeviceRecord* device, CArray<int>& enabled, CArray<double>& values) {
    Board().Collect(device, EnsureSettings(device), enabled, values);
    return kCollectResult;
  }

  // The write command: 1 when a delimiter is missing, else 0. A command that names an index outside
  // the host's value array, or a value that is not a finite number, is ignored.
  static int DevIOCtrl(DeviceRecord* device, const CString& command, CArray<double>& values) {
    if (Board::kRefusesWrites) return 0;
    const WriteCommand write = ParseWriteCommand<TChar>(command, VT("VARN_WRITE"));
    if (write.form == WriteCommand::Form::NotACommand) return 1;
    if (write.form != WriteCommand::Form::Write || !HasIndex(values, write.index)) return 0;
    Settings& settings = EnsureSettings(device);
    if (Board::kStoresWrittenValue) values[write.index] = write.value;
    Board().Write(device, settings, values, write.index, write.value);
    return 0;
  }

  static int GetDevInfo(CString& name, int& first, int& second, int index, CString& file) {
    return CommonEntryPoints::GetDevInfo(name, first, second, index, file, Board::kDeviceInfo);
  }
};

}  // namespace varn

#define VARN_HANDCODED_DRIVER(Board)                  \
  namespace {                                         \
  using BoardDriver = ::varn::HandcodedDriver<Board>; \
  }                                                   \
  VARN_DEFINE_ENTRY_POINTS(BoardDriver)
