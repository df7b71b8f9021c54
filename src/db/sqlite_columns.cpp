#include "db/sqlite_columns.h"

#include <QRegularExpression>

#include "db/sqlserver_collation.h"
#include "db/tsql_tokens.h"

namespace db {

QString sqliteCharacterConstraints(const QString& quotedColumn, const QString& type, bool withCollation) {
  static const QRegularExpression character(
      QStringLiteral(R"(^\s*(n?)(?:(?:var)?char|character(?:\s+varying)?|text)\s*(?:\(\s*(\d+|max)\s*\))?\s*$)"),
      QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch m = character.match(type);
  if (!m.hasMatch()) return {};
  QString out;
  if (withCollation) out += QStringLiteral(" COLLATE ") + QString::fromLatin1(collation::kName);
  bool counted = false;
  const int length = m.captured(2).toInt(&counted);
  if (!counted) return out;  // no length, or max
  const QString kept = QStringLiteral("rtrim(%1, ' ')").arg(quotedColumn);
  const QString size = m.captured(1).isEmpty()
                           // bytes of code page 936: the characters, and one more for each beyond ASCII
                           // (a CJK character has three bytes in UTF-8, two in the code page)
                           ? QStringLiteral("length(%1) + (length(CAST(%1 AS BLOB)) - length(%1)) / 2").arg(kept)
                           : QStringLiteral("length(%1)").arg(kept);
  return out + QStringLiteral(" CONSTRAINT \"%1\" CHECK (%2 <= %3)").arg(kTruncated, size, QString::number(length));
}

namespace {

using tsql::Kind;
using tsql::Token;

// The text with every name between grave accents (`a]b`, which the tokenizer does not know)
// bracketed instead ([a]]b]); literals, quoted names and comments stay as they are.
QString bracketGraveNames(const QString& s) {
  QString out;
  out.reserve(s.size());
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s[i];
    const QChar next = i + 1 < s.size() ? s[i + 1] : QChar();
    qsizetype end = -1;  // the last character of a literal, quoted name or comment that begins here
    if (c == u'\'' || c == u'"' || c == u'[') {
      const QChar close = c == u'[' ? u']' : c;
      for (end = i + 1; end < s.size(); ++end) {
        if (s[end] != close) continue;
        if (end + 1 >= s.size() || s[end + 1] != close) break;
        ++end;  // doubled: part of the text
      }
    } else if (c == u'-' && next == u'-') {
      end = s.indexOf(u'\n', i);
    } else if (c == u'/' && next == u'*') {
      end = s.indexOf(QStringLiteral("*/"), i + 2);
      if (end >= 0) ++end;
    } else if (c == u'`') {
      QString name;
      for (end = i + 1; end < s.size(); ++end) {
        if (s[end] != u'`') {
          name += s[end];
        } else if (end + 1 < s.size() && s[end + 1] == u'`') {
          name += u'`';
          ++end;
        } else {
          break;
        }
      }
      out += u'[' + name.replace(u']', QStringLiteral("]]")) + u']';
      i = end;
      continue;
    } else {
      out += c;
      continue;
    }
    if (end < 0 || end >= s.size()) end = s.size() - 1;  // not closed: to the end
    out += s.mid(i, end - i + 1);
    i = end;
  }
  return out;
}

QString unquoted(const Token& t) {
  if (t.kind != Kind::QuotedName) return t.text;
  const QChar close = t.text.startsWith(u'[') ? u']' : u'"';
  return t.text.mid(1, t.text.size() - 2).replace(QString(2, close), QString(close));
}

// The index of the ')' closing the '(' at open, or the last index when it is not closed.
std::size_t closing(const std::vector<Token>& e, std::size_t open) {
  int depth = 0;
  for (std::size_t k = open; k < e.size(); ++k) {
    if (e[k].is(Kind::Punct, u"(")) ++depth;
    if (e[k].is(Kind::Punct, u")") && --depth == 0) return k;
  }
  return e.size() - 1;
}

bool isAnyWord(const Token& t, std::initializer_list<QStringView> words) {
  for (QStringView w : words)
    if (t.isWord(w)) return true;
  return false;
}

}  // namespace

SqliteTableDeclaration sqliteTableDeclaration(const QString& createTable) {
  SqliteTableDeclaration out;
  const QString text = bracketGraveNames(createTable);
  std::vector<Token> tokens;
  for (Token& t : tsql::tokenize(text, false))
    if (t.significant()) tokens.push_back(std::move(t));

  // One element of the list: a column (name, type, its constraints) or a table constraint.
  const auto declare = [&](const std::vector<Token>& e) {
    if (e.empty()) return;
    const bool table = isAnyWord(e[0], {u"CONSTRAINT", u"PRIMARY", u"UNIQUE", u"CHECK", u"FOREIGN"});
    const int column = table ? -1 : int(out.collations.size());
    QString collation, name;  // name: of the constraint that follows
    for (std::size_t k = table ? 0 : 1; k < e.size(); ++k) {
      const Token& t = e[k];
      if (t.is(Kind::Punct, u"(")) {
        k = closing(e, k);  // a type's length, a default, a generated column's expression, a key's columns
      } else if (t.isWord(u"CONSTRAINT") && k + 1 < e.size()) {
        name = unquoted(e[++k]);
      } else if (t.isWord(u"COLLATE") && k + 1 < e.size()) {
        collation = unquoted(e[++k]);
        name.clear();
      } else if (t.isWord(u"CHECK") && k + 1 < e.size() && e[k + 1].is(Kind::Punct, u"(")) {
        const std::size_t close = closing(e, k + 1);
        const qsizetype from = e[k + 1].pos, to = e[close].pos + e[close].text.size();
        if (name != kTruncated) out.checks.push_back({name, column, text.mid(from, to - from)});
        name.clear();
        k = close;
      } else if (isAnyWord(t, {u"PRIMARY", u"UNIQUE", u"NOT", u"NULL", u"DEFAULT", u"REFERENCES", u"GENERATED", u"AS",
                               u"FOREIGN"})) {
        name.clear();
      }
    }
    if (!table) out.collations.push_back(collation);
  };

  std::size_t i = 0;
  while (i < tokens.size() && !tokens[i].is(Kind::Punct, u"(")) ++i;
  int depth = 0;
  std::vector<Token> element;
  for (++i; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.is(Kind::Punct, u")") && depth == 0) break;  // the end of the list
    if (t.is(Kind::Punct, u"(")) ++depth;
    if (t.is(Kind::Punct, u")")) --depth;
    if (depth == 0 && t.is(Kind::Punct, u",")) {
      declare(element);
      element.clear();
      continue;
    }
    element.push_back(t);
  }
  declare(element);
  return out;
}

}  // namespace db
