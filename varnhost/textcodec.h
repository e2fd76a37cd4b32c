// Conversion between the UTF-8 of scripts and terminals and the texts of a driver's build:
// GBK (char) in configuration builds, UTF-16 (char16_t) in runtime builds.
#pragma once

#include <stdexcept>
#include <string>

namespace varnhost {

struct TextError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string GbkToUtf8(const std::string& gbk);
std::string Utf8ToGbk(const std::string& utf8);  // TextError when a character has no GBK form
std::string Utf16ToUtf8(const std::u16string& utf16);
std::u16string Utf8ToUtf16(const std::string& utf8);

template <class Ch>
struct Codec;
template <>
struct Codec<char> {
  static std::string ToUtf8(const std::string& s) { return GbkToUtf8(s); }
  static std::string FromUtf8(const std::string& s) { return Utf8ToGbk(s); }
};
template <>
struct Codec<char16_t> {
  static std::string ToUtf8(const std::u16string& s) { return Utf16ToUtf8(s); }
  static std::u16string FromUtf8(const std::string& s) { return Utf8ToUtf16(s); }
};

// Columns a UTF-8 text takes on a terminal (East Asian wide characters take two).
int DisplayWidth(const std::string& utf8);

}  // namespace varnhost
