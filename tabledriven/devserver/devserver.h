// The table-driven driver core. A board gives a constant BoardDescription (its properties with
// defaults and choices, its channel groups, its names) and a few board routines; this core answers
// the thirteen entry points from them and keeps the settings as one integer per property:
//
//   struct JostraBoard : varn::TableDrivenBoard<JostraBoard> {
//     static constexpr varn::BoardDescription kDescription = {...};
//     void Collect(...);
//   };
//   VARN_TABLE_DRIVEN_DRIVER(JostraBoard)
//
// Extension points a board may replace by declaring its own: Storage (the SettingsArray, or a plain
// block of integers), GroupSize and GroupKind (a group computed from a setting, another kind),
// Channels (the whole channel table), Dispatch (the write dispatch), kPresetsSlotZero (slot 0 of
// the value array set to 1.0 before every pass and every write command).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <type_traits>

#include "framework/channels.h"
#include "framework/entrypoints.h"
#include "framework/ownerarchive.h"
#include "framework/routines.h"

#ifndef VARN_PORT_BACKEND
#error "VARN_PORT_BACKEND names the port back end of the build"
#endif

namespace varn {

// The port-I/O layer of this build; its checks refuse negative port numbers in every operation.
using PortIO =
    BasicPortIO<VARN_PORT_BACKEND, std::conditional_t<VARN_PORT_CHECKS != 0, ports::DevServerChecks, ports::NoChecks>>;

// A register of a board at base + offset, the sum taken modulo 2^32 (a saturated base does not
// overflow); PortIO then uses its low 16 bits.
constexpr int Port(int32_t base, int offset) {
  return static_cast<int32_t>(static_cast<uint32_t>(base) + static_cast<uint32_t>(offset));
}

// A constant list of a board's table.
template <class T>
struct Table {
  const T* items;
  int count;
  constexpr const T& operator[](int i) const { return items[i]; }
};
template <class T, size_t N>
constexpr Table<T> MakeTable(const T (&items)[N]) {
  return {items, static_cast<int>(N)};
}
using TextTable = Table<const TChar*>;
using NumberTable = Table<int32_t>;

struct BoardDescription {
  const TChar* helpTopic;
  uint32_t helpContext;
  DeviceInfo device;  // device name and the runtime files "...U.drv", "...E.drv"
  const TChar* writeKeyword;
  TextTable propertyNames;        // one property per setting, in setting order
  NumberTable choiceCounts;       // choices of property i; 0: a text entry
  NumberTable propertyDefaults;   // first-use value of setting i
  TextTable choiceTexts;          // the choices of all choice properties, in property order
  NumberTable channelGroupSizes;  // the count of group g is the absolute value
  TextTable channelNameFormats;   // formatted with the channel's number inside its group
};

// The channel groups in table order; a board may declare fewer, from the front.
enum ChannelGroup { kDI, kDO, kDA, kCounter, kFout, kAD, kGroupCount };
constexpr ChannelKind kGroupKinds[kGroupCount] = {DigitalIn, DigitalOut, NumericOut, NumericIn, NumericOut, NumericIn};

// The six name formats, and the 38 choices that most boards carry (mean / max-min processing,
// six on/off switches, six counter modes).
extern const TChar* const kChannelNameFormats[kGroupCount];
extern const TChar* const kSharedChoiceTexts[38];

// A board's tables fit together: one name, choice count and default per property; the choices
// lie inside the choice texts; one name format per group.
constexpr bool IsConsistent(const BoardDescription& b) {
  const int n = b.propertyNames.count;
  if (n < 1 || b.choiceCounts.count != n || b.propertyDefaults.count != n) return false;
  int choices = 0;
  for (int i = 0; i < n; ++i) {
    if (b.choiceCounts[i] < 0) return false;
    choices += b.choiceCounts[i];
  }
  const int groups = b.channelGroupSizes.count;
  if (choices > b.choiceTexts.count || groups < 1 || groups > kGroupCount || b.channelNameFormats.count != groups)
    return false;
  for (int g = 0; g < groups; ++g)
    if (b.channelGroupSizes[g] < -4096 || b.channelGroupSizes[g] > 4096) return false;
  return true;
}

// ---------------------------------------------------------------------------------------------
// The settings of one device: element i is the current value of property i.
class Settings {
 public:
  Settings(int32_t* elements, int count) : elements_(elements), count_(count) {}
  int Count() const { return count_; }
  int32_t operator[](int i) const { return i >= 0 && i < count_ ? elements_[i] : 0; }
  int32_t& At(int i) { return elements_[i]; }

 private:
  int32_t* elements_;
  int count_;
};

// Where the settings hang on the device record.
using SettingsArray = CArray<int32_t>;  // the host library's growable integer array
struct SettingsArrayStorage {
  using Type = SettingsArray;
  static Type* Create(int count) {
    auto* array = new SettingsArray;
    array->SetSize(count);
    return array;
  }
  static int32_t* Elements(Type* array) { return array->GetData(); }
  static void Release(Type* array) {
    array->FreeAll();  // element storage first: size and capacity 0
    delete array;
  }
};
struct SettingsBlockStorage {  // a plain block of integers, freed as a whole
  using Type = int32_t;
  static Type* Create(int count) { return new int32_t[static_cast<size_t>(count)](); }
  static int32_t* Elements(Type* block) { return block; }
  static void Release(Type* block) { delete[] block; }
};

// The core's side of the settings, whatever the storage.
void LoadSettings(OwnerArchive& archive, Settings& settings, const NumberTable& defaults);
void StoreSettings(OwnerArchive& archive, const Settings& settings);
void RewriteSettings(OwnerArchive& archive, const Settings& settings);

// ---------------------------------------------------------------------------------------------
// Bits of a byte buffer. ReadBit: bit i as 0.0 or 1.0, or -1.0 beyond the buffer. WriteBit: sets
// or clears bit i (on when the value's truncation toward zero is not 0) and returns 1, or returns
// 0 and changes nothing beyond the buffer.
double ReadBit(const CByteArray& bytes, int i);
int WriteBit(CByteArray& bytes, double value, int i);

// The property walks of the entry points, over a board's tables.
void ShowProperties(const BoardDescription& board, const Settings& settings, CStringArray& names, CStringArray& values,
                    CByteArray& kinds);
void ListChoices(const BoardDescription& board, const CString& name, CStringArray& choices);
void TakeProperties(const BoardDescription& board, Settings& settings, const CStringArray& names,
                    const CStringArray& values);

// ---------------------------------------------------------------------------------------------
// The board routines and extension points, with the core's defaults. A board derives from
// TableDrivenBoard<itself> and declares only what it does differently.
template <class Board>
struct TableDrivenBoard {
  using Storage = SettingsArrayStorage;
  static constexpr bool kPresetsSlotZero = false;

  void RunInit(DeviceRecord*, const Settings&) {}
  void Collect(DeviceRecord*, const Settings&, const CArray<int>& /*enabled*/, CArray<double>& /*values*/) {}
  // The writers of the output groups get the index as typed and the value; they store it into the
  // host's array themselves where the board keeps its outputs' state there.
  void WriteDO(DeviceRecord*, const Settings&, CArray<double>&, int /*index*/, double /*value*/) {}
  void WriteDA(DeviceRecord*, const Settings&, CArray<double>&, int /*index*/, double /*value*/) {}
  void WriteFout(DeviceRecord*, const Settings&, CArray<double>&, int /*index*/, double /*value*/) {}

  static constexpr int GroupCount() { return Board::kDescription.channelGroupSizes.count; }
  int GroupSize(const Settings&, int group) const {
    const int32_t size = Board::kDescription.channelGroupSizes[group];
    return size < 0 ? -size : size;  // the sign is never read
  }
  ChannelKind GroupKind(int group) const { return kGroupKinds[group]; }

  // The groups in order, each channel named with its number inside its group.
  void Channels(const Settings& settings, CStringArray& names, CArray<int>& kinds) {
    ChannelTable table;
    for (int g = 0; g < GroupCount(); ++g)
      table.AddGroup(Self().GroupSize(settings, g), Board::kDescription.channelNameFormats[g], 0, Self().GroupKind(g));
    table.Publish(names, kinds);
  }

  // The writer of the output group whose index range holds the index; inputs, counters, negative
  // indexes and indexes beyond the table write nothing.
  void Dispatch(DeviceRecord* device, const Settings& settings, CArray<double>& values, int index, double value) {
    int first = 0;
    for (int g = 0; g < GroupCount(); ++g) {
      const int size = Self().GroupSize(settings, g);
      if (index >= first && index < first + size) {
        if (g == kDO) Self().WriteDO(device, settings, values, index, value);
        if (g == kDA) Self().WriteDA(device, settings, values, index, value);
        if (g == kFout) Self().WriteFout(device, settings, values, index, value);
        return;
      }
      first += size;
    }
  }

 private:
  Board& Self() { return static_cast<Board&>(*this); }
  const Board& Self() const { return static_cast<const Board&>(*this); }
};

// ---------------------------------------------------------------------------------------------
// The entry points of a table-driven board.
template <class Board>
struct DevServer {
  static constexpr const BoardDescription& kBoard = Board::kDescription;
  static_assert(IsConsistent(Board::kDescription), "the board's tables do not fit together");
  using Storage = typename Board::Storage;
  static constexpr int kCollectResult = 0;
  static constexpr int kSettingsCount = kBoard.propertyNames.count;

  // First use: N elements, all 0, then every element the stored bytes supply (a short archive
  // leaves the rest 0); with no stored byte, the defaults, written into the archive.
  static Settings EnsureSettings(DeviceRecord* device) {
    if (device->settings != nullptr)
      return Settings(Storage::Elements(static_cast<typename Storage::Type*>(device->settings)), kSettingsCount);
    auto* stored = Storage::Create(kSettingsCount);
    device->settings = stored;
    Settings settings(Storage::Elements(stored), kSettingsCount);
    LoadSettings(*device->archive, settings, kBoard.propertyDefaults);
    return settings;
  }

  static int GetProperty(DeviceRecord* device, CStringArray& names, CStringArray& values, CByteArray& kinds) {
    ShowProperties(kBoard, EnsureSettings(device), names, values, kinds);
    return 1;
  }

  static int EnumPropertyValue(DeviceRecord* device, const CString& name, CStringArray& choices) {
    EnsureSettings(device);
    ListChoices(kBoard, name, choices);
    return 1;
  }

  // The whole settings are rewritten, also when nothing matched: the archive then holds 4N bytes.
  static int SetProperty(DeviceRecord* device, CStringArray& names, CStringArray& values) {
    Settings settings = EnsureSettings(device);
    TakeProperties(kBoard, settings, names, values);
    RewriteSettings(*device->archive, settings);
    return 1;
  }

  static int DoHelp(CString& topic, int& context) {
    return CommonEntryPoints::DoHelp(topic, context, kBoard.helpTopic, kBoard.helpContext);
  }

  static int GetChannel(DeviceRecord* device, CStringArray& names, CArray<int>& kinds) {
    Board().Channels(EnsureSettings(device), names, kinds);
    return 1;
  }

  static int InitDevSet(DeviceRecord* device) {
    EnsureSettings(device);
    return 1;
  }

  static int InitDevRun(DeviceRecord* device) {
    Board().RunInit(device, EnsureSettings(device));
    std::srand(TickCount());
    return 1;
  }

  static int ExitDevRun(DeviceRecord* device) {
    if (device->settings != nullptr) Storage::Release(static_cast<typename Storage::Type*>(device->settings));
    device->settings = nullptr;
    return 1;
  }

  // Passes and writes expect the settings created by SvrInitDevRun; a host that skipped it gets
  // them created here rather than a driver working without settings.
  static int CollectDevData(DeviceRecord* device, CArray<int>& enabled, CArray<double>& values) {
    const Settings settings = EnsureSettings(device);
    if (Board::kPresetsSlotZero) StoreValue(values, 0, 1.0);
    Board().Collect(device, settings, enabled, values);
    return kCollectResult;
  }

  // 0 in every case. The value is not stored here; a command whose index or value does not read as
  // a number, or whose value is not finite, is ignored.
  static int DevIOCtrl(DeviceRecord* device, const CString& command, CArray<double>& values) {
    if (Board::kPresetsSlotZero) StoreValue(values, 0, 1.0);
    const WriteCommand write = ParseWriteCommand<TChar>(command, kBoard.writeKeyword);
    if (write.form != WriteCommand::Form::Write) return 0;
    Board().Dispatch(device, EnsureSettings(device), values, write.index, write.value);
    return 0;
  }

  static int GetDevInfo(CString& name, int& first, int& second, int index, CString& file) {
    return CommonEntryPoints::GetDevInfo(name, first, second, index, file, kBoard.device);
  }
};

}  // namespace varn

#define VARN_TABLE_DRIVEN_DRIVER(Board)         \
  namespace {                                   \
  using BoardDriver = ::varn::DevServer<Board>; \
  }                                             \
  VARN_DEFINE_ENTRY_POINTS(BoardDriver)
