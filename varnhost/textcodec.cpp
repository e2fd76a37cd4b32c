#include "varnhost/textcodec.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

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

std::string Utf16ToUtf8(const std::u16string& utf16) {
  return Convert("UTF-8", "UTF-16LE", reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2, true);
}

std::u16string Utf8ToUtf16(const std::string& utf8) {
  const std::string bytes = Convert("UTF-16LE", "UTF-8", utf8.data(), utf8.size(), false);
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

int DisplayWidth(const std::string& utf8) {
  int width = 0;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    uint32_t cp = c;
    size_t len = 1;
    if (c >= 0xF0) cp = c & 0x07, len = 4;
    else if (c >= 0xE0) cp = c & 0x0F, len = 3;
    else if (c >= 0xC0) cp = c & 0x1F, len = 2;
    for (size_t k = 1; k < len && i + k < utf8.size(); ++k) cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
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
