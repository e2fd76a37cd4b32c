#include "varnhost/textcodec.h"

#include <iconv.h>

#include <cerrno>
#include <codecvt>
#include <cstring>
#include <locale>

namespace varnhost {
namespace {

// iconv from one encoding to another; a character that cannot be converted is an error, or, with
// lenient, becomes U+FFFD in the UTF-8 output (a driver text that is not valid in its encoding).
std::string Convert(const char* to, const char* from, const char* data, size_t size, bool lenient) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw TextError(std::string("text conversion from ") + from + " to " + to + " is not available");
  std::string out;
  char buffer[1024];
  char* in = const_cast<char*>(data);
  size_t inLeft = size;
  while (inLeft > 0) {
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    const size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buffer, static_cast<size_t>(o - buffer));
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (!lenient) {
      iconv_close(cd);
      throw TextError(std::string("text cannot be written in ") + to);
    }
    out += "\xEF\xBF\xBD";
    const size_t skip = std::strcmp(from, "UTF-16LE") == 0 ? 2 : 1;
    in += skip < inLeft ? skip : inLeft;
    inLeft -= skip < inLeft ? skip : inLeft;
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string GbkToUtf8(const std::string& gbk) { return Convert("UTF-8", "GBK", gbk.data(), gbk.size(), true); }

std::string Utf8ToGbk(const std::string& utf8) { return Convert("GBK", "UTF-8", utf8.data(), utf8.size(), false); }

// UTF-16 through the standard library's converter: the C library of the ARM target carries no
// UTF-16 module for iconv.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
using Utf16Converter = std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>;

std::string Utf16ToUtf8(const std::u16string& utf16) {
  Utf16Converter converter("\xEF\xBF\xBD");  // a text that is not valid UTF-16 shows as U+FFFD
  return converter.to_bytes(utf16);
}

std::u16string Utf8ToUtf16(const std::string& utf8) {
  Utf16Converter converter;
  try {
    return converter.from_bytes(utf8);
  } catch (const std::range_error&) {
    throw TextError("text is not valid UTF-8");
  }
}
#pragma GCC diagnostic pop

int DisplayWidth(const std::string& utf8) {
  int width = 0;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    uint32_t cp = c;
    size_t len = 1;
    if (c >= 0xF0)
      cp = c & 0x07, len = 4;
    else if (c >= 0xE0)
      cp = c & 0x0F, len = 3;
    else if (c >= 0xC0)
      cp = c & 0x1F, len = 2;
    for (size_t k = 1; k < len && i + k < utf8.size(); ++k)
      cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += len;
    const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                      (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                      (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                      (cp >= 0xFFE0 && cp <= 0xFFE6);
    width += wide ? 2 : 1;
  }
  return width;
}

}  // namespace varnhost
