// A channel table being built, published into the host's name and kind arrays in one go. Both
// driver cores build their tables with it.
#pragma once

#include <vector>

#include "framework/entrypoints.h"

namespace varn {

class ChannelTable {
 public:
  void Add(const TChar* nameFormat, int number, ChannelKind kind) {
    CString name;
    name.Format(nameFormat, number);
    entries_.push_back({name, kind});
  }
  // count channels numbered from firstNumber.
  void AddGroup(int count, const TChar* nameFormat, int firstNumber, ChannelKind kind) {
    for (int k = 0; k < count; ++k) Add(nameFormat, firstNumber + k, kind);
  }
  // A digital group named and kinded by its direction.
  void AddDigitalGroup(int count, const TChar* inputFormat, const TChar* outputFormat, int firstNumber, bool isOutput) {
    AddGroup(count, isOutput ? outputFormat : inputFormat, firstNumber, isOutput ? DigitalOut : DigitalIn);
  }
  void Publish(CStringArray& names, CArray<int>& kinds) const {
    const int n = static_cast<int>(entries_.size());
    names.SetSize(n, -1);
    kinds.SetSize(n);
    for (int i = 0; i < n; ++i) {
      names[i] = entries_[static_cast<size_t>(i)].name;
      kinds[i] = entries_[static_cast<size_t>(i)].kind;
    }
  }

 private:
  struct Entry {
    CString name;
    ChannelKind kind;
  };
  std::vector<Entry> entries_;
};

}  // namespace varn
