// The table-driven core's walks over a board's tables, compiled into each board in its flavour.
#include "tabledriven/devserver/devserver.h"

namespace varn {

const TChar* const kChannelNameFormats[kGroupCount] = {VT("DI%.2d"),      VT("DO%.2d"),   VT("DA%.2d"),
                                                       VT("Counter%.2d"), VT("Fout%.2d"), VT("AD%.2d")};

// clang-format off
const TChar* const kSharedChoiceTexts[38] = {
    // the reduction of repeated conversions
    VT("0 - 平均值处理"), VT("1 - 最大最小值处理"),
    // six on/off switches
    VT("0 - ON"), VT("1 - OFF"), VT("0 - ON"), VT("1 - OFF"), VT("0 - ON"), VT("1 - OFF"),
    VT("0 - ON"), VT("1 - OFF"), VT("0 - ON"), VT("1 - OFF"), VT("0 - ON"), VT("1 - OFF"),
    // six counter modes
    VT("0 - ECWDF"), VT("1 - ECWNDF"), VT("2 - IC"), VT("3 - PWM"),
    VT("0 - ECWDF"), VT("1 - ECWNDF"), VT("2 - IC"), VT("3 - PWM"),
    VT("0 - ECWDF"), VT("1 - ECWNDF"), VT("2 - IC"), VT("3 - PWM"),
    VT("0 - ECWDF"), VT("1 - ECWNDF"), VT("2 - IC"), VT("3 - PWM"),
    VT("0 - ECWDF"), VT("1 - ECWNDF"), VT("2 - IC"), VT("3 - PWM"),
    VT("0 - ECWDF"), VT("1 - ECWNDF"), VT("2 - IC"), VT("3 - PWM"),
};
// clang-format on

// With stored bytes: Rewind, then one ReadInt per element (the first switches the archive to load
// mode); an element the archive cannot supply stays 0. Without: the defaults, stored.
void LoadSettings(OwnerArchive& archive, Settings& settings, const NumberTable& defaults) {
  if (archive.GetSize() >= 1) {
    archive.Rewind();
    for (int i = 0; i < settings.Count(); ++i) archive.ReadInt(settings.At(i));
    return;
  }
  for (int i = 0; i < settings.Count(); ++i) settings.At(i) = defaults[i];
  StoreSettings(archive, settings);
}

// Rewind, then one WriteInt per element in index order (the first switches to store mode).
void StoreSettings(OwnerArchive& archive, const Settings& settings) {
  archive.Rewind();
  for (int i = 0; i < settings.Count(); ++i) archive.WriteInt(settings[i]);
}

// After a set the archive holds exactly the settings: when the stored bytes were shorter than them,
// the writes grew the array by a whole step, and the zeros behind the settings are cut off.
void RewriteSettings(OwnerArchive& archive, const Settings& settings) {
  StoreSettings(archive, settings);
  if (archive.GetSize() > archive.position) archive.bytes.SetSize(archive.position);
}

double ReadBit(const CByteArray& bytes, int i) {
  if (i < 0 || i / 8 >= bytes.GetSize()) return -1.0;
  return GetBit(bytes[i / 8], i % 8);
}

int WriteBit(CByteArray& bytes, double value, int i) {
  if (i < 0 || i / 8 >= bytes.GetSize()) return 0;
  bytes[i / 8] = static_cast<uint8_t>(SetBit(bytes[i / 8], i % 8, OutputBitOn(value)));
  return 1;
}

namespace {

// The choices of property i: its slice of the choice texts.
Choices ChoicesOf(const BoardDescription& board, int property) {
  int offset = 0;
  for (int i = 0; i < property; ++i) offset += board.choiceCounts[i];
  return Choices{board.choiceTexts.items + offset, board.choiceCounts[property]};
}

}  // namespace

// Values always show the current settings: a text entry as "%d", a choice as its text. A choice
// setting outside the property's choices (only stored bytes can bring one) shows as its number.
void ShowProperties(const BoardDescription& board, const Settings& settings, CStringArray& names, CStringArray& values,
                    CByteArray& kinds) {
  const int n = board.propertyNames.count;
  names.SetSize(n, -1);
  values.SetSize(n, -1);
  kinds.SetSize(n);
  for (int i = 0; i < n; ++i) {
    names[i] = board.propertyNames[i];
    const Choices choices = ChoicesOf(board, i);
    const int32_t setting = settings[i];
    kinds[i] = choices.count > 0 ? ChoiceList : TextEntry;
    if (choices.count > 0 && setting >= 0 && setting < choices.count)
      values[i] = choices.texts[setting];
    else
      values[i].Format(VT("%d"), setting);
  }
}

// Every choice property of that name appends its choices; the list is not emptied first.
void ListChoices(const BoardDescription& board, const CString& name, CStringArray& choices) {
  for (int i = 0; i < board.propertyNames.count; ++i) {
    const Choices own = ChoicesOf(board, i);
    if (own.count == 0 || !EqualsNoCase<TChar>(name, board.propertyNames[i])) continue;
    for (int c = 0; c < own.count; ++c) choices.Add(CString(own.texts[c]));
  }
}

// Property i only at position i. A choice takes the last equal choice text (none: unchanged); a
// text entry reads "%d" into 0 (no number: 0; beyond 32 bits: saturated), an empty text leaves it.
void TakeProperties(const BoardDescription& board, Settings& settings, const CStringArray& names,
                    const CStringArray& values) {
  FindProperties<TChar>(
      PropertyLookup::FixedPositions, board.propertyNames.count, names, values,
      [&](int p) { return board.propertyNames[p]; },
      [&](int p, const CString& text) {
        const Choices choices = ChoicesOf(board, p);
        if (choices.count > 0) {
          const int code = MatchLastChoice<TChar>(text, choices);
          if (code >= 0) settings.At(p) = code;
        } else if (!text.IsEmpty()) {
          settings.At(p) = ScanInt<TChar>(text, NumberFormat::Decimal).value_or(0);
        }
      });
}

}  // namespace varn
