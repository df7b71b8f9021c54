#pragma once
// Text compared as SQL Server compares it under the case- and width-insensitive collations a
// host site uses (Chinese_PRC_CI_AS and the like): trailing blanks do not count, letter case does
// not count, and the full-width forms of ASCII (U+FF01..U+FF5E, the ideographic blank U+3000)
// equal their half-width forms. Plain C++ without Qt or SQLite: the embedded engine registers it
// as a collation, the loadable extension (db/sqlite_extension) registers the same code for other
// programs, and the operations fold numbers with it.
#include <cstddef>

namespace db::collation {

// The collation's name in the embedded schema ("... COLLATE SQLSERVER_CI").
inline constexpr const char* kName = "SQLSERVER_CI";

// The character that stands for c in a comparison: full-width ASCII as its half-width form, the
// ideographic blank as a blank, upper-case letters (ASCII, Latin-1, Latin Extended-A, Greek,
// Cyrillic) as lower-case ones. Accents stay: "é" is not "e".
char32_t fold(char32_t c);

// Three-way comparison of two UTF-8 texts (<0, 0, >0). The shorter text counts as padded with
// blanks, as SQL Server pads it: "a" = "a  ", and "a\t" sorts before "a". Folded characters
// compare by code point. An invalid UTF-8 byte counts as a character of its own.
int compare(const unsigned char* a, std::size_t aBytes, const unsigned char* b, std::size_t bBytes);

// SQLite's optimisation that a connection using this collation must switch off
// (sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, kUnsafeOptimizations)): the Bloom
// filter of a join (SQLITE_BloomFilter) hashes a text with its length in SQLite 3.40, so a row whose
// text is equal but of another length ("0013" and "0013 ", "A1" and "ａ１") is skipped and the join
// loses it.
inline constexpr unsigned kUnsafeOptimizations = 0x00080000;

// compare() in the shape of SQLite's collation callback (sqlite3_create_collation_v2).
int sqliteCompare(void* unused, int aBytes, const void* a, int bBytes, const void* b);

}  // namespace db::collation
