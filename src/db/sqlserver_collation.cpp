#include "db/sqlserver_collation.h"

namespace db::collation {
namespace {

constexpr char32_t kBlank = 0x20;

// The next code point of a UTF-8 text at i (i moves past it). A byte that starts no valid
// sequence counts as U+DC00 + the byte, a code point that valid UTF-8 never gives.
char32_t decode(const unsigned char* s, std::size_t n, std::size_t& i) {
  const unsigned char lead = s[i];
  int more = 0;
  char32_t c = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2;
    c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3;
    c = lead & 0x07;
  } else {
    ++i;
    return 0xDC00 + lead;
  }
  if (i + std::size_t(more) >= n) {  // the text ends inside the sequence
    ++i;
    return 0xDC00 + lead;
  }
  for (int k = 1; k <= more; ++k) {
    const unsigned char next = s[i + std::size_t(k)];
    if ((next & 0xC0) != 0x80) {
      ++i;
      return 0xDC00 + lead;
    }
    c = (c << 6) | (next & 0x3F);
  }
  // Overlong forms and surrogates are no valid UTF-8.
  if ((more == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (more == 3 && (c < 0x10000 || c > 0x10FFFF))) {
    ++i;
    return 0xDC00 + lead;
  }
  i += std::size_t(more) + 1;
  return c;
}

inline char32_t foldAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? char32_t(c + 0x20) : char32_t(c); }

}  // namespace

char32_t fold(char32_t c) {
  if (c < 0x80) return foldAscii(static_cast<unsigned char>(c));
  if (c == 0x3000) return kBlank;
  if (c >= 0xFF01 && c <= 0xFF5E) return foldAscii(static_cast<unsigned char>(c - 0xFEE0));
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;  // Latin-1: À..Þ without ×
  if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: pairs of upper and lower case
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;  // İ ı ĸ ŉ ſ
    if (c == 0x178) return 0xFF;  // Ÿ
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    const bool upper = oddUpper ? (c % 2 == 1) : (c % 2 == 0);
    return upper ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek Α..Ω
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;  // Cyrillic А..Я
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;  // Cyrillic Ѐ..Џ
  return c;
}

int compare(const unsigned char* a, std::size_t aBytes, const unsigned char* b, std::size_t bBytes) {
  std::size_t i = 0, j = 0;
  while (i < aBytes && j < bBytes) {
    char32_t ca, cb;
    if (a[i] < 0x80 && b[j] < 0x80) {
      ca = foldAscii(a[i++]);
      cb = foldAscii(b[j++]);
    } else {
      ca = fold(decode(a, aBytes, i));
      cb = fold(decode(b, bBytes, j));
    }
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  // The rest of the longer text against the blanks that pad the shorter one.
  while (i < aBytes) {
    const char32_t c = fold(decode(a, aBytes, i));
    if (c != kBlank) return c < kBlank ? -1 : 1;
  }
  while (j < bBytes) {
    const char32_t c = fold(decode(b, bBytes, j));
    if (c != kBlank) return c < kBlank ? 1 : -1;
  }
  return 0;
}

int sqliteCompare(void*, int aBytes, const void* a, int bBytes, const void* b) {
  return compare(static_cast<const unsigned char*>(a), std::size_t(aBytes < 0 ? 0 : aBytes),
                 static_cast<const unsigned char*>(b), std::size_t(bBytes < 0 ? 0 : bBytes));
}

}  // namespace db::collation
