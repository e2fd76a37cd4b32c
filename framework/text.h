// Text services of the host's C library as the drivers use them, for both encodings:
// multibyte GBK (char) in configuration builds and UTF-16 (char16_t) in runtime builds.
//   CompareNoCase  whole-text comparison without regard to letter case
//   ScanInt        "%d" and "%X" formatted input
//   ScanDouble     "%lf" formatted input
//   FormatText     printf-style formatting of integers and texts
#pragma once

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace varn {

template <class Ch>
constexpr Ch AsciiLower(Ch c) {
  return (c >= Ch('A') && c <= Ch('Z')) ? Ch(c - Ch('A') + Ch('a')) : c;
}

// A GBK lead byte opens a double-byte character; the byte after it is never case-folded.
constexpr bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Negative, zero or positive like the C library's comparison; only zero ("equal") is relied on.
// UTF-16: ASCII letters fold, every other unit compares as it stands.
inline int CompareNoCase(const char16_t* a, const char16_t* b) {
  for (;; ++a, ++b) {
    const char16_t x = AsciiLower(*a), y = AsciiLower(*b);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

// GBK: a double-byte character is one unit, compared byte for byte; single bytes fold ASCII letters.
inline int CompareNoCase(const char* a, const char* b) {
  const auto* p = reinterpret_cast<const unsigned char*>(a);
  const auto* q = reinterpret_cast<const unsigned char*>(b);
  for (;;) {
    const bool wideP = IsGbkLeadByte(*p) && p[1] != 0;
    const bool wideQ = IsGbkLeadByte(*q) && q[1] != 0;
    if (wideP || wideQ) {
      const unsigned x = wideP ? (unsigned(p[0]) << 8 | p[1]) : p[0];
      const unsigned y = wideQ ? (unsigned(q[0]) << 8 | q[1]) : q[0];
      if (x != y) return x < y ? -1 : 1;
      p += wideP ? 2 : 1;
      q += wideQ ? 2 : 1;
      continue;
    }
    const unsigned char x = AsciiLower(*p), y = AsciiLower(*q);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
    ++p;
    ++q;
  }
}

template <class Ch>
bool EqualsNoCase(const Ch* a, const Ch* b) {
  return CompareNoCase(a, b) == 0;
}

template <class Ch>
constexpr bool IsBlank(Ch c) {
  return c == Ch(' ') || c == Ch('\t') || c == Ch('\n') || c == Ch('\v') || c == Ch('\f') || c == Ch('\r');
}

enum class NumberFormat { Decimal, Hex };  // "%d" and "%X"

// "%d" / "%X": leading blanks skipped, an optional sign, for "%X" an optional 0x prefix, then digits up
// to the first character that is not one; trailing text is ignored. No digit at all: no value.
// A number beyond the 32-bit range saturates: "%d" at INT32_MIN / INT32_MAX, "%X" (which reads an
// unsigned number) at 0xFFFFFFFF, a sign negating it modulo 2^32 as the C library does.
template <class Ch>
std::optional<int32_t> ScanInt(const Ch* text, NumberFormat format) {
  const Ch* p = text;
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == Ch('+') || *p == Ch('-')) negative = *p++ == Ch('-');
  const unsigned base = format == NumberFormat::Hex ? 16 : 10;
  auto digit = [base](Ch c) -> int {
    int d = -1;
    if (c >= Ch('0') && c <= Ch('9'))
      d = int(c - Ch('0'));
    else if (c >= Ch('a') && c <= Ch('f'))
      d = int(c - Ch('a')) + 10;
    else if (c >= Ch('A') && c <= Ch('F'))
      d = int(c - Ch('A')) + 10;
    return d >= 0 && unsigned(d) < base ? d : -1;
  };
  bool anyDigit = false;
  if (base == 16 && p[0] == Ch('0') && (p[1] == Ch('x') || p[1] == Ch('X'))) {
    anyDigit = true;  // "0x" alone reads as 0
    p += 2;
  }
  const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t magnitude = 0;
  for (int d; (d = digit(*p)) >= 0; ++p) {
    anyDigit = true;
    magnitude = magnitude * base + unsigned(d);
    if (magnitude > limit) magnitude = limit;  // saturate, keep consuming digits
  }
  if (!anyDigit) return std::nullopt;
  if (base == 16) {
    const uint32_t bits = negative ? uint32_t(0u - uint32_t(magnitude)) : uint32_t(magnitude);
    return static_cast<int32_t>(bits);
  }
  return negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude)) : static_cast<int32_t>(magnitude);
}

// "%lf": leading blanks skipped, then the longest prefix that reads as a floating-point number.
template <class Ch>
std::optional<double> ScanDouble(const Ch* text) {
  std::string narrow;  // the number's characters are all ASCII; stop at anything else
  for (const Ch* p = text; *p != 0 && static_cast<uint32_t>(*p) < 0x80; ++p) narrow.push_back(static_cast<char>(*p));
  const char* begin = narrow.c_str();
  while (IsBlank(*begin)) ++begin;
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  if (end == begin) return std::nullopt;
  return value;
}

// Formatting for CString::Format: %d %i %u %x %X %c with flags, width and precision, %s, %%.
// Arguments are integers or texts of the same character type.
template <class Ch>
struct FormatArgument {
  enum class Kind { Integer, Text } kind;
  long long integer = 0;
  const Ch* text = nullptr;
  FormatArgument(int v) : kind(Kind::Integer), integer(v) {}
  FormatArgument(unsigned v) : kind(Kind::Integer), integer(v) {}
  FormatArgument(long v) : kind(Kind::Integer), integer(v) {}
  FormatArgument(long long v) : kind(Kind::Integer), integer(v) {}
  FormatArgument(const Ch* v) : kind(Kind::Text), text(v) {}
};

template <class Ch>
std::basic_string<Ch> FormatText(const Ch* format, const FormatArgument<Ch>* args, size_t count) {
  std::basic_string<Ch> out;
  size_t next = 0;
  for (const Ch* p = format; *p != 0; ++p) {
    if (*p != Ch('%')) {
      out.push_back(*p);
      continue;
    }
    std::string spec = "%";  // flags, width and precision are ASCII: hand them to snprintf
    ++p;
    while (*p != 0 && std::string("-+ #0123456789.").find(static_cast<char>(*p)) != std::string::npos &&
           static_cast<uint32_t>(*p) < 0x80)
      spec.push_back(static_cast<char>(*p++));
    while (*p == Ch('l') || *p == Ch('h')) ++p;  // length modifiers: arguments are already wide enough
    const Ch conversion = *p;
    if (conversion == 0) break;
    if (conversion == Ch('%')) {
      out.push_back(Ch('%'));
      continue;
    }
    if (next >= count) break;  // a format asking for more than it was given stops there
    const FormatArgument<Ch>& arg = args[next++];
    if (conversion == Ch('s')) {
      if (arg.kind == FormatArgument<Ch>::Kind::Text && arg.text != nullptr) out += arg.text;
      continue;
    }
    const char c = static_cast<char>(conversion);
    if (std::string("diuxXc").find(c) == std::string::npos || static_cast<uint32_t>(conversion) >= 0x80) continue;
    if (c == 'c') {
      out.push_back(static_cast<Ch>(arg.integer));
      continue;
    }
    spec += "ll";
    spec.push_back(c);
    // The host's integers are 32 bits wide: unsigned conversions show the 32-bit pattern.
    const bool isSigned = c == 'd' || c == 'i';
    const long long value = isSigned ? arg.integer : static_cast<long long>(static_cast<uint32_t>(arg.integer));
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, spec.c_str(), value);
    for (int i = 0; i < n && i < int(sizeof buffer) - 1; ++i) out.push_back(static_cast<Ch>(buffer[i]));
  }
  return out;
}

}  // namespace varn
