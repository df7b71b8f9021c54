#include "db/tsql_tokens.h"

#include "db/database.h"

namespace db::tsql {
namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v'; }

bool isWordStart(QChar c) { return c.isLetter() || c == u'_' || c == u'@' || c == u'#' || c.isSurrogate(); }

bool isWordChar(QChar c) { return isWordStart(c) || c.isDigit() || c == u'$' || c.isMark(); }

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

class Scanner {
 public:
  Scanner(const QString& text, bool strict) : s_(text), strict_(strict) {}

  std::vector<Token> run() {
    std::vector<Token> out;
    while (i_ < s_.size()) {
      const qsizetype start = i_;
      Token t{scan(), {}, start};
      t.text = s_.mid(start, i_ - start);
      t.unicode = t.kind == Kind::String && (t.text.front() == u'N' || t.text.front() == u'n');
      out.push_back(std::move(t));
    }
    return out;
  }

 private:
  QChar at(qsizetype k) const { return k < s_.size() ? s_[k] : QChar(); }

  Kind scan() {
    const QChar c = s_[i_];
    const QChar d = at(i_ + 1);
    if (isBlank(c)) {
      while (i_ < s_.size() && isBlank(s_[i_])) ++i_;
      return Kind::Space;
    }
    if (c == u'-' && d == u'-') {
      while (i_ < s_.size() && s_[i_] != u'\n' && s_[i_] != u'\r') ++i_;
      return Kind::Comment;
    }
    if (c == u'/' && d == u'*') return blockComment();
    if ((c == u'N' || c == u'n') && d == u'\'') {
      ++i_;
      quoted(u'\'', u'\'');
      return Kind::String;
    }
    if (c == u'\'') {
      quoted(u'\'', u'\'');
      return Kind::String;
    }
    if (c == u'[') {
      quoted(u'[', u']');
      return Kind::QuotedName;
    }
    if (c == u'"') {
      quoted(u'"', u'"');
      return Kind::QuotedName;
    }
    if (isDigit(c) || (c == u'.' && isDigit(d))) return number();
    if (isWordStart(c)) {
      while (i_ < s_.size() && isWordChar(s_[i_])) ++i_;
      return Kind::Word;
    }
    ++i_;
    if (c == u'(' || c == u')' || c == u',' || c == u';' || c == u'.') return Kind::Punct;
    static const QString twoChar[] = {QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>"),
                                      QStringLiteral("!="), QStringLiteral("!<"), QStringLiteral("!>"),
                                      QStringLiteral("||")};
    for (const QString& op : twoChar) {
      if (c == op[0] && d == op[1]) {
        ++i_;
        return Kind::Operator;
      }
    }
    if (QStringView(u"+-*/%=<>&|^~").contains(c)) return Kind::Operator;
    return Kind::Other;
  }

  // From the opening character through the closing one; a doubled closing character is part
  // of the content.
  void quoted(QChar open, QChar close) {
    const qsizetype start = i_;
    Q_ASSERT(s_[i_] == open);
    ++i_;
    while (i_ < s_.size()) {
      if (s_[i_] == close) {
        if (at(i_ + 1) == close) {
          i_ += 2;
          continue;
        }
        ++i_;
        return;
      }
      ++i_;
    }
    if (strict_) {
      throw DbError(QStringLiteral("Unclosed quotation mark after the character string '%1'.").arg(s_.mid(start + 1)));
    }
  }

  Kind blockComment() {
    int depth = 0;
    while (i_ < s_.size()) {
      if (s_[i_] == u'/' && at(i_ + 1) == u'*') {
        ++depth;
        i_ += 2;
      } else if (s_[i_] == u'*' && at(i_ + 1) == u'/') {
        i_ += 2;
        if (--depth == 0) return Kind::Comment;
      } else {
        ++i_;
      }
    }
    if (strict_) throw DbError(QStringLiteral("Missing end comment mark '*/'."));
    return Kind::Comment;
  }

  Kind number() {
    if (s_[i_] == u'0' && (at(i_ + 1) == u'x' || at(i_ + 1) == u'X')) {
      i_ += 2;
      while (i_ < s_.size() && (isDigit(s_[i_]) || QStringView(u"abcdefABCDEF").contains(s_[i_]))) ++i_;
      return Kind::Number;
    }
    while (i_ < s_.size() && isDigit(s_[i_])) ++i_;
    if (at(i_) == u'.') {
      ++i_;
      while (i_ < s_.size() && isDigit(s_[i_])) ++i_;
    }
    if ((at(i_) == u'e' || at(i_) == u'E') &&
        (isDigit(at(i_ + 1)) || ((at(i_ + 1) == u'+' || at(i_ + 1) == u'-') && isDigit(at(i_ + 2))))) {
      i_ += 2;
      while (i_ < s_.size() && isDigit(s_[i_])) ++i_;
    }
    return Kind::Number;
  }

  const QString& s_;
  bool strict_;
  qsizetype i_ = 0;
};

}  // namespace

std::vector<Token> tokenize(const QString& text, bool strict) { return Scanner(text, strict).run(); }

}  // namespace db::tsql
