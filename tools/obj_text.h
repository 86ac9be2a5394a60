// Character-level rules of the OBJ text shared by the reader and the writer.
// They follow the OBJ library's own reading exactly, so that both sides agree
// on what a line and a token are: a line ends at "\n", "\r\n" or a lone "\r";
// tokens are separated by spaces and tabs.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace runner {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

// The first position at or after p that is not a space or tab.
inline const char* SkipBlanks(const char* p, const char* end) {
  while (p < end && IsBlank(*p)) ++p;
  return p;
}

// The end of the token starting at p: the next blank or line end.
inline const char* TokenEnd(const char* p, const char* end) {
  while (p < end && !IsBlank(*p) && !IsLineEnd(*p)) ++p;
  return p;
}

// Reads a whole token as a float, correctly rounded to nearest; a leading
// '+' is accepted as other OBJ writers produce it. False unless the token is
// exactly one finite decimal number.
inline bool ParseFloatToken(const char* begin, const char* end, float* value) {
  if (begin < end && *begin == '+') {
    ++begin;
    if (begin < end && *begin == '-') return false;
  }
  std::from_chars_result r = std::from_chars(begin, end, *value, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range && r.ptr == end) {
    // Too small for a float rounds to a zero of the same sign; too large is
    // an error. The double reading tells the two apart.
    double wide = 0;
    std::from_chars_result w = std::from_chars(begin, end, wide, std::chars_format::general);
    if (w.ec != std::errc() || !(wide < 1.0 && wide > -1.0)) return false;
    *value = wide < 0 || (wide == 0 && *begin == '-') ? -0.0f : 0.0f;
    return true;
  }
  if (r.ec != std::errc() || r.ptr != end) return false;
  return *value - *value == 0.0f;  // rejects infinities and NaN
}

// Room for any float's shortest text (at most 15 characters, such as
// "-1.17549435e-38").
constexpr size_t kFloatTextMax = 24;

// Writes the shortest decimal text that reads back to exactly the same float
// into out (kFloatTextMax bytes) and returns the end of the text.
inline char* FormatFloat(char* out, float value) {
  return std::to_chars(out, out + kFloatTextMax, value).ptr;
}

}  // namespace runner
