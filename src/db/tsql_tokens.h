#pragma once
// Tokenizer for the T-SQL texts this tool sends. Every character of the text belongs to exactly
// one token, so joining the token texts gives the text back unchanged.
#include <QString>
#include <vector>

namespace db::tsql {

enum class Kind {
  Space,  // blanks, tabs, line breaks
  Comment,  // -- to the end of the line (line break not included), or /* ... */ (nests)
  Word,  // identifier or keyword: letters (CJK included), digits, _ @ # $; not starting with a digit
  QuotedName,  // [name] or "name" (]] and "" inside)
  String,  // '...' or N'...' ('' inside)
  Number,  // 12, 1.5, .5, 1e3, 0x1F
  Punct,  // ( ) , ; .
  Operator,  // + - * / % = < > <= >= <> != !< !> & | ^ ~ ||
  Other  // any other character
};

struct Token {
  Kind kind;
  QString text;  // exactly as written
  qsizetype pos = 0;  // offset in the source text
  bool unicode = false;  // a String written N'...'

  bool is(Kind k, QStringView t) const { return kind == k && text == t; }
  // A Word equal to word, ignoring case (word is given in upper case).
  bool isWord(QStringView word) const { return kind == Kind::Word && text.compare(word, Qt::CaseInsensitive) == 0; }
  bool significant() const { return kind != Kind::Space && kind != Kind::Comment; }
};

// Splits text into tokens. An unclosed literal, quoted name or block comment throws DbError
// when strict; otherwise it runs to the end of the text.
std::vector<Token> tokenize(const QString& text, bool strict = true);

}  // namespace db::tsql
