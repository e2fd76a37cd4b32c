// The host's class library, as far as the drivers use it: text, text array and growable arrays
// of bytes, integers and doubles, with the MFC names and exactly the operations the drivers call.
// The host creates and owns every container it passes; a driver changes them only through these
// operations and keeps no reference to them after a call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/text.h"

namespace varn {

template <class Ch>
class BasicCString {
 public:
  BasicCString() = default;
  BasicCString(const Ch* text) : text_(text) {}
  explicit BasicCString(std::basic_string<Ch> text) : text_(std::move(text)) {}

  BasicCString& operator=(const Ch* text) {
    text_ = text;
    return *this;
  }

  template <class... Args>
  void Format(const Ch* format, Args... args) {
    const FormatArgument<Ch> list[] = {FormatArgument<Ch>(args)..., FormatArgument<Ch>(0)};
    text_ = FormatText(format, list, sizeof...(Args));
  }

  int GetLength() const { return static_cast<int>(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }
  const Ch* GetString() const { return text_.c_str(); }
  operator const Ch*() const { return text_.c_str(); }

  // Index of the first occurrence of the character, or -1.
  int Find(Ch c) const {
    const auto at = text_.find(c);
    return at == std::basic_string<Ch>::npos ? -1 : static_cast<int>(at);
  }
  // As in the class library, counts and starts outside the text are clamped to it.
  BasicCString Left(int count) const { return Mid(0, count); }
  BasicCString Mid(int first, int count) const {
    if (first < 0) first = 0;
    if (count < 0) count = 0;
    if (first > GetLength()) first = GetLength();
    if (count > GetLength() - first) count = GetLength() - first;
    return BasicCString(text_.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
  }
  int CompareNoCase(const Ch* other) const { return varn::CompareNoCase(text_.c_str(), other); }

  // For the host: the text itself.
  const std::basic_string<Ch>& Text() const { return text_; }

 private:
  std::basic_string<Ch> text_;
};

template <class T>
class CArray {
 public:
  int GetSize() const { return static_cast<int>(items_.size()); }
  // New elements are zero; a negative size empties the array.
  void SetSize(int size, int /*growBy*/ = -1) { items_.resize(size < 0 ? 0 : static_cast<size_t>(size)); }
  T* GetData() { return items_.data(); }
  const T* GetData() const { return items_.data(); }
  T& operator[](int i) { return items_[static_cast<size_t>(i)]; }
  const T& operator[](int i) const { return items_[static_cast<size_t>(i)]; }
  T& ElementAt(int i) { return items_[static_cast<size_t>(i)]; }
  T GetAt(int i) const { return items_[static_cast<size_t>(i)]; }
  void SetAtGrow(int i, const T& value) {
    if (i >= GetSize()) SetSize(i + 1);
    items_[static_cast<size_t>(i)] = value;
  }
  int Add(const T& value) {
    items_.push_back(value);
    return GetSize() - 1;
  }
  void RemoveAll() { items_.clear(); }
  // Releases the element storage as well: size and capacity become 0.
  void FreeAll() { std::vector<T>().swap(items_); }

 private:
  std::vector<T> items_;
};

using CByteArray = CArray<uint8_t>;

template <class Ch>
class BasicCStringArray : public CArray<BasicCString<Ch>> {};

}  // namespace varn
