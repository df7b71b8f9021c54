// T-SQL -> SQLite, over tokens:
//   1. split the text into statements: at ';' and at a statement keyword that stands outside
//      parentheses and does not continue the current statement (INSERT ... SELECT, UNION SELECT,
//      AS SELECT, the statement an IF guards, the body of CREATE TRIGGER ... BEGIN ... END);
//   2. rewrite IF [NOT] EXISTS (q) INSERT INTO t (c) VALUES (v)
//      into INSERT INTO t (c) SELECT v WHERE [NOT] EXISTS (q);
//   3. rewrite tokens in place: N'x' -> 'x', CONVERT(int, x) -> tsql_int(x), LEN(x) -> tsql_len(x),
//      ISNULL(a, b) -> ifnull(a, b), '+' next to a string literal -> '||', and a bracketed name
//      holding a doubled ']' ([a]]b], which SQLite's brackets do not take) -> `a]b`;
//   4. in CREATE TABLE and ALTER TABLE ... ADD, give every character column the database's default
//      collation (unless it names one) and the check of its declared length (db/sqlite_columns.h).
// Everything else keeps its spelling.
#include "db/tsql_translate.h"

#include <optional>

#include "db/database.h"
#include "db/sqlite_columns.h"
#include "db/tsql_tokens.h"

namespace db {
namespace {

using tsql::Kind;
using tsql::Token;
using Tokens = std::vector<Token>;

// Words that begin a statement when they stand outside parentheses.
const QStringView kStatementWords[] = {u"UPDATE", u"DELETE", u"INSERT", u"SELECT", u"IF",
                                       u"CREATE", u"DROP",   u"ALTER",  u"WITH"};
// Functions renamed one to one (the arguments stay as they are).
const std::pair<QStringView, QStringView> kRenamedFunctions[] = {{u"LEN", u"tsql_len"}, {u"ISNULL", u"ifnull"}};
// Types that CONVERT(type, x) turns into tsql_int(x).
const QStringView kIntTypes[] = {u"INT", u"INTEGER"};

bool isAnyWord(const Token& t, std::initializer_list<QStringView> words) {
  for (QStringView w : words) {
    if (t.isWord(w)) return true;
  }
  return false;
}

bool isStatementWord(const Token& t) {
  for (QStringView w : kStatementWords) {
    if (t.isWord(w)) return true;
  }
  return false;
}

[[noreturn]] void cannotTranslate(const QString& what) {
  throw DbError(QStringLiteral("The embedded database cannot run this statement: %1").arg(what));
}

// Index of the next / previous significant token, or -1.
qsizetype nextSig(const Tokens& t, qsizetype i) {
  for (++i; i < qsizetype(t.size()); ++i) {
    if (t[i].significant()) return i;
  }
  return -1;
}
qsizetype prevSig(const Tokens& t, qsizetype i) {
  for (--i; i >= 0; --i) {
    if (t[i].significant()) return i;
  }
  return -1;
}

// Index of the ')' that closes the '(' at open, or -1.
qsizetype closingParen(const Tokens& t, qsizetype open) {
  int depth = 0;
  for (qsizetype i = open; i < qsizetype(t.size()); ++i) {
    if (t[i].is(Kind::Punct, u"(")) ++depth;
    if (t[i].is(Kind::Punct, u")") && --depth == 0) return i;
  }
  return -1;
}

QString join(const Tokens& t, qsizetype from, qsizetype to) {
  QString s;
  for (qsizetype i = from; i < to; ++i) s += t[i].text;
  return s;
}

// ---- 1. statements ------------------------------------------------------------------------

class Splitter {
 public:
  std::vector<Tokens> run(const Tokens& tokens) {
    for (const Token& t : tokens) take(t);
    finish();
    return std::move(statements_);
  }

 private:
  void take(const Token& t) {
    if (!t.significant()) {
      current_.push_back(t);
      return;
    }
    if (depth_ == 0 && block_ == 0 && t.is(Kind::Punct, u";")) {
      finish();
      return;
    }
    if (depth_ == 0 && block_ == 0 && isStatementWord(t) && !continues(t)) finish();
    track(t);
    current_.push_back(t);
    previous_ = t;
  }

  // Whether a statement word at the top level belongs to the statement being read.
  bool continues(const Token& t) {
    if (!head_) return false;  // nothing read yet: it opens the statement
    if (trigger_ && !triggerDone_) return true;  // CREATE TRIGGER ... AFTER UPDATE ON ... BEGIN ... END
    if (t.isWord(u"SELECT") && isAnyWord(previous_, {u"UNION", u"ALL", u"EXCEPT", u"INTERSECT", u"AS"})) return true;
    if (t.isWord(u"IF") && isAnyWord(previous_, {u"TABLE", u"INDEX", u"VIEW", u"TRIGGER"})) return true;
    if (awaitingBody_) {  // IF EXISTS (...) <statement>, WITH x AS (...) <statement>
      awaitingBody_ = false;
      head_ = t;
      insertSource_ = false;
      return true;
    }
    if (head_->isWord(u"INSERT") && t.isWord(u"SELECT") && !insertSource_) {
      insertSource_ = true;
      return true;
    }
    return false;
  }

  void track(const Token& t) {
    if (!head_) {
      head_ = t;
      awaitingBody_ = t.isWord(u"IF") || t.isWord(u"WITH");
    }
    if (t.is(Kind::Punct, u"(")) ++depth_;
    if (t.is(Kind::Punct, u")")) {
      if (depth_ == 0) throw DbError(QStringLiteral("Incorrect syntax near ')'."));
      --depth_;
    }
    if (depth_ != 0) return;
    if (head_->isWord(u"INSERT") && t.isWord(u"VALUES")) insertSource_ = true;
    if (head_->isWord(u"CREATE") && t.isWord(u"TRIGGER")) trigger_ = true;
    if (trigger_ && isAnyWord(t, {u"BEGIN", u"CASE"})) ++block_;
    if (trigger_ && t.isWord(u"END") && block_ > 0 && --block_ == 0) triggerDone_ = true;
  }

  void finish() {
    if (depth_ != 0) throw DbError(QStringLiteral("Incorrect syntax: a '(' is not closed."));
    if (head_) statements_.push_back(std::move(current_));
    current_.clear();
    head_.reset();
    awaitingBody_ = insertSource_ = trigger_ = triggerDone_ = false;
    block_ = 0;
  }

  std::vector<Tokens> statements_;
  Tokens current_;
  std::optional<Token> head_;  // the word that decides how the statement goes on
  Token previous_{Kind::Space, {}};
  int depth_ = 0;
  int block_ = 0;
  bool awaitingBody_ = false, insertSource_ = false, trigger_ = false, triggerDone_ = false;
};

// ---- 2. IF [NOT] EXISTS (...) INSERT ... VALUES (...) ---------------------------------------

Tokens rewriteIf(const Tokens& s) {
  const QString expected = QStringLiteral("only IF [NOT] EXISTS (...) INSERT INTO t (...) VALUES (...) is supported");
  qsizetype i = nextSig(s, -1);  // IF
  qsizetype notAt = nextSig(s, i);
  qsizetype existsAt = notAt;
  if (notAt >= 0 && s[notAt].isWord(u"NOT")) {
    existsAt = nextSig(s, notAt);
  } else {
    notAt = -1;
  }
  if (existsAt < 0 || !s[existsAt].isWord(u"EXISTS")) cannotTranslate(expected);
  const qsizetype open = nextSig(s, existsAt);
  const qsizetype close = open >= 0 && s[open].is(Kind::Punct, u"(") ? closingParen(s, open) : -1;
  const qsizetype insert = close >= 0 ? nextSig(s, close) : -1;
  if (insert < 0 || !s[insert].isWord(u"INSERT")) cannotTranslate(expected);
  // The VALUES keyword at the top level of the INSERT, then one parenthesised row and nothing after.
  qsizetype values = -1;
  for (qsizetype k = insert; k >= 0; k = nextSig(s, k)) {
    if (s[k].is(Kind::Punct, u"(")) k = closingParen(s, k);  // balanced: the splitter checked
    if (s[k].isWord(u"VALUES")) {
      values = k;
      break;
    }
  }
  const qsizetype rowOpen = values >= 0 ? nextSig(s, values) : -1;
  const qsizetype rowClose = rowOpen >= 0 && s[rowOpen].is(Kind::Punct, u"(") ? closingParen(s, rowOpen) : -1;
  if (rowClose < 0 || nextSig(s, rowClose) >= 0) cannotTranslate(expected);

  Tokens out(s.begin() + insert, s.begin() + values);  // INSERT INTO t (c)<blank>
  out.push_back({Kind::Word, QStringLiteral("SELECT")});
  out.push_back({Kind::Space, QStringLiteral(" ")});
  out.insert(out.end(), s.begin() + rowOpen + 1, s.begin() + rowClose);
  out.push_back({Kind::Space, QStringLiteral(" ")});
  out.push_back({Kind::Word, QStringLiteral("WHERE")});
  out.push_back({Kind::Space, QStringLiteral(" ")});
  if (notAt >= 0) out.insert(out.end(), s.begin() + notAt, s.begin() + existsAt);  // NOT<blank>
  out.insert(out.end(), s.begin() + existsAt, s.begin() + close + 1);  // EXISTS (...)
  return out;
}

// ---- 3. tokens in place -----------------------------------------------------------------------

// Whether the token ends an operand (so that a following '+' is a binary operator).
bool endsOperand(const Token& t) {
  return t.kind == Kind::String || t.kind == Kind::Word || t.kind == Kind::QuotedName || t.kind == Kind::Number ||
         t.is(Kind::Punct, u")");
}

class Rewriter {
 public:
  explicit Rewriter(Tokens& t) : t_(t) {}

  void run() {
    for (qsizetype i = 0; i < qsizetype(t_.size()); ++i) {
      Token& tok = t_[i];
      if (tok.kind == Kind::String && tok.unicode) {
        tok.text.remove(0, 1);
      } else if (tok.kind == Kind::QuotedName && tok.text.startsWith(u'[') && tok.text.contains(u"]]")) {
        bracketed(tok);
      } else if (tok.kind == Kind::Word && isCall(i)) {
        call(i);
      } else if (tok.is(Kind::Operator, u"+")) {
        plus(i);
      }
    }
  }

 private:
  // [a]]b] -> `a]b`: the same name between grave accents, in which SQLite doubles a grave accent.
  static void bracketed(Token& tok) {
    QString name = tok.text.mid(1, tok.text.size() - 2);
    name.replace(QStringLiteral("]]"), QStringLiteral("]")).replace(u'`', QStringLiteral("``"));
    tok.text = u'`' + name + u'`';
  }

  bool isCall(qsizetype i) const {
    const qsizetype n = nextSig(t_, i);
    return n >= 0 && t_[n].is(Kind::Punct, u"(");
  }

  void call(qsizetype i) {
    Token& name = t_[i];
    for (const auto& [from, to] : kRenamedFunctions) {
      if (name.isWord(from)) name.text = to.toString();
    }
    if (!name.isWord(u"CONVERT")) return;
    // CONVERT ( int , x ) -> tsql_int ( x ): the type and its comma vanish.
    const qsizetype open = nextSig(t_, i);
    const qsizetype type = nextSig(t_, open);
    const qsizetype comma = type >= 0 ? nextSig(t_, type) : -1;
    bool isInt = false;
    for (QStringView w : kIntTypes) isInt = isInt || (type >= 0 && t_[type].isWord(w));
    if (!isInt || comma < 0 || !t_[comma].is(Kind::Punct, u",")) {
      cannotTranslate(QStringLiteral("CONVERT is supported only as CONVERT(int, value)"));
    }
    name.text = QStringLiteral("tsql_int");
    for (qsizetype k = open + 1; k <= comma; ++k) t_[k].text.clear();
    const qsizetype value = nextSig(t_, comma);
    for (qsizetype k = comma + 1; k < value; ++k) t_[k].text.clear();  // blanks after the comma
  }

  // '+' with a string operand concatenates in T-SQL; a number on either side makes it an addition.
  void plus(qsizetype i) {
    const qsizetype l = prevSig(t_, i);
    const qsizetype r = nextSig(t_, i);
    if (l < 0 || r < 0 || !endsOperand(t_[l])) return;  // unary plus
    if (t_[l].kind == Kind::Number || t_[r].kind == Kind::Number) return;
    if (t_[l].kind == Kind::String || t_[r].kind == Kind::String || leftIsConcatenation(l)) {
      t_[i] = {Kind::Operator, QStringLiteral("||"), t_[i].pos};
    }
  }

  // Whether the operand ending at l is itself the right end of a concatenation ('a' + b + c).
  bool leftIsConcatenation(qsizetype l) const {
    qsizetype k = l;
    if (t_[k].is(Kind::Punct, u")")) {
      int depth = 0;
      for (; k >= 0; --k) {
        if (t_[k].is(Kind::Punct, u")")) ++depth;
        if (t_[k].is(Kind::Punct, u"(") && --depth == 0) break;
      }
      const qsizetype f = prevSig(t_, k);
      if (f >= 0 && t_[f].kind == Kind::Word) k = f;  // a function call
    }
    for (qsizetype p = prevSig(t_, k); p >= 0 && t_[p].is(Kind::Punct, u"."); p = prevSig(t_, k)) {
      k = prevSig(t_, p);  // qualified name a.b
      if (k < 0) return false;
    }
    const qsizetype op = prevSig(t_, k);
    return op >= 0 && t_[op].is(Kind::Operator, u"||");
  }

  Tokens& t_;
};

// ---- 4. character columns ----------------------------------------------------------------------

// Words that open a table constraint, not a column definition.
const QStringView kTableConstraintWords[] = {u"CONSTRAINT", u"PRIMARY", u"UNIQUE", u"CHECK", u"FOREIGN", u"INDEX"};

// The column definition between from and to (exclusive): name, type [ ( n ) ], constraints.
void declareColumn(Tokens& s, qsizetype from, qsizetype to) {
  const qsizetype name = nextSig(s, from - 1);
  if (name < 0 || name >= to || (s[name].kind != Kind::Word && s[name].kind != Kind::QuotedName)) return;
  for (QStringView w : kTableConstraintWords)
    if (s[name].isWord(w)) return;
  const qsizetype type = nextSig(s, name);
  if (type < 0 || type >= to || s[type].kind != Kind::Word) return;
  qsizetype typeEnd = type;
  const qsizetype open = nextSig(s, type);
  if (open >= 0 && open < to && s[open].is(Kind::Punct, u"(")) typeEnd = closingParen(s, open);
  if (typeEnd < 0 || typeEnd >= to) return;
  bool collated = false;
  for (qsizetype k = typeEnd + 1; k < to; ++k) collated = collated || s[k].isWord(u"COLLATE");
  const QString constraints = sqliteCharacterConstraints(s[name].text, join(s, type, typeEnd + 1), !collated);
  // (max) is no length SQLite reads: nvarchar(max) is declared nvarchar.
  const qsizetype inside = typeEnd > type ? nextSig(s, open) : -1;
  if (inside >= 0 && s[inside].isWord(u"MAX") && nextSig(s, inside) == typeEnd)
    for (qsizetype k = type + 1; k <= typeEnd; ++k) s[k].text.clear();
  s[type].text += join(s, type + 1, typeEnd + 1) + constraints;
  for (qsizetype k = type + 1; k <= typeEnd; ++k) s[k].text.clear();
}

void declareColumns(Tokens& s) {
  const qsizetype create = nextSig(s, -1);
  const qsizetype table = nextSig(s, create);
  if (table < 0 || !s[table].isWord(u"TABLE")) return;
  if (s[create].isWord(u"ALTER")) {  // ALTER TABLE t ADD [COLUMN] c type ...
    qsizetype add = table;
    while (add >= 0 && !s[add].isWord(u"ADD")) add = nextSig(s, add);
    if (add < 0) return;
    const qsizetype column = nextSig(s, add);
    declareColumn(s, column >= 0 && s[column].isWord(u"COLUMN") ? column + 1 : add + 1, qsizetype(s.size()));
    return;
  }
  if (!s[create].isWord(u"CREATE")) return;
  qsizetype open = table;
  while (open >= 0 && !s[open].is(Kind::Punct, u"(") && !s[open].isWord(u"AS")) open = nextSig(s, open);
  if (open < 0 || !s[open].is(Kind::Punct, u"(")) return;  // CREATE TABLE t AS SELECT ...
  const qsizetype close = closingParen(s, open);
  int depth = 0;
  qsizetype from = open + 1;
  for (qsizetype k = open + 1; k <= close; ++k) {
    if (s[k].is(Kind::Punct, u"(")) ++depth;
    if (s[k].is(Kind::Punct, u")")) --depth;
    if ((depth == 0 && s[k].is(Kind::Punct, u",")) || k == close) {
      declareColumn(s, from, k);
      from = k + 1;
    }
  }
}

}  // namespace

QStringList translateTsqlToSqlite(const QString& tsql, const std::function<void()>& between) {
  QStringList out;
  for (Tokens& s : Splitter().run(tsql::tokenize(tsql))) {
    if (between) between();
    if (s[nextSig(s, -1)].isWord(u"IF")) s = rewriteIf(s);
    Rewriter(s).run();
    declareColumns(s);
    const QString text = join(s, 0, qsizetype(s.size())).trimmed();
    if (!text.isEmpty()) out << text;
  }
  return out;
}

}  // namespace db
