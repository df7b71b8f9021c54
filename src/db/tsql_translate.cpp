// T-SQL -> SQLite, over tokens:
//   0. drop the table hints after a table name or alias (t WITH (UPDLOCK, HOLDLOCK)): the embedded
//      engine's transaction holds the file's write lock, so there is nothing for them to lock;
//   1. split the text into statements: at ';' and at a statement keyword that stands outside
//      parentheses and does not continue the current statement (INSERT ... SELECT, UNION SELECT,
//      AS SELECT, the statement an IF guards, the body of CREATE TRIGGER ... BEGIN ... END);
//   2. rewrite IF [NOT] EXISTS (q) INSERT INTO t (c) VALUES (v)
//      into INSERT INTO t (c) SELECT v WHERE [NOT] EXISTS (q);
//   3. rewrite tokens in place: N'x' -> 'x', CONVERT(int, x) -> tsql_int(x), LEN(x) -> tsql_len(x),
//      ISNULL(a, b) -> ifnull(a, b), '+' between a string literal and a column alone -> tsql_plus(a, b),
//      any other '+' next to a string literal -> '||', and a bracketed name
//      holding a doubled ']' ([a]]b], which SQLite's brackets do not take) -> `a]b`, and
//      COLLATE DATABASE_DEFAULT -> COLLATE SQLSERVER_CI (the embedded database's default);
//   4. in CREATE TABLE and ALTER TABLE ... ADD, give every character column the database's default
//      collation (unless it names one) and the check of its declared length (db/sqlite_columns.h).
// Everything else keeps its spelling.
#include "db/tsql_translate.h"

#include <optional>

#include "db/database.h"
#include "db/sqlite_columns.h"
#include "db/sqlserver_collation.h"
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
// Table hints, dropped where they follow a table name or alias: WITH ( hint [[,] hint]... ).
const QStringView kTableHints[] = {u"UPDLOCK",       u"HOLDLOCK",        u"ROWLOCK",       u"NOLOCK",       u"READPAST",
                                   u"TABLOCK",       u"TABLOCKX",        u"XLOCK",         u"SERIALIZABLE", u"PAGLOCK",
                                   u"READCOMMITTED", u"READUNCOMMITTED", u"REPEATABLEREAD"};

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

// ---- 0. table hints ---------------------------------------------------------------------------

bool isTableHint(const Token& t) {
  for (QStringView w : kTableHints) {
    if (t.isWord(w)) return true;
  }
  return false;
}

// The ')' that ends the table hint opened by the WITH at i, or -1 when i opens no table hint (a
// common table expression's WITH follows no name and is followed by one).
qsizetype tableHintEnd(const Tokens& t, qsizetype i) {
  const qsizetype before = prevSig(t, i);
  if (!t[i].isWord(u"WITH") || before < 0 || (t[before].kind != Kind::Word && t[before].kind != Kind::QuotedName))
    return -1;
  const qsizetype open = nextSig(t, i);
  if (open < 0 || !t[open].is(Kind::Punct, u"(")) return -1;
  bool hint = false;  // the last token read was a hint
  for (qsizetype k = nextSig(t, open); k >= 0; k = nextSig(t, k)) {
    if (t[k].is(Kind::Punct, u")")) return hint ? k : -1;
    if (isTableHint(t[k])) {
      hint = true;
    } else if (hint && t[k].is(Kind::Punct, u",")) {
      hint = false;
    } else {
      return -1;
    }
  }
  return -1;
}

// Drops every table hint with the blanks before it; a blank stays where a word follows.
Tokens dropTableHints(Tokens t) {
  for (qsizetype i = 0; i < qsizetype(t.size()); ++i) {
    const qsizetype end = tableHintEnd(t, i);
    if (end < 0) continue;
    const qsizetype from = prevSig(t, i) + 1;
    const qsizetype after = nextSig(t, end);
    const bool blank = after >= 0 && t[after].kind != Kind::Punct;
    t.erase(t.begin() + from, t.begin() + (blank ? after : end + 1));
    if (blank) t.insert(t.begin() + from, Token{Kind::Space, QStringLiteral(" "), t[from].pos});
    i = from;
  }
  return t;
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
      } else if (tok.isWord(u"DATABASE_DEFAULT") && prevSig(t_, i) >= 0 && t_[prevSig(t_, i)].isWord(u"COLLATE")) {
        tok.text = QString::fromLatin1(collation::kName);  // the database's default collation
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
  // Between a text literal and a column alone it depends on the column's type: tsql_plus(l, r) decides
  // by the values at run time (an int column adds, a text column concatenates).
  void plus(qsizetype& i) {
    const qsizetype l = prevSig(t_, i);
    const qsizetype r = nextSig(t_, i);
    if (l < 0 || r < 0 || !endsOperand(t_[l])) return;  // unary plus
    if (t_[l].kind == Kind::Number || t_[r].kind == Kind::Number) return;
    if (const auto [from, to] = literalAndColumn(l, r); from >= 0) {
      t_[i] = {Kind::Punct, QStringLiteral(","), t_[i].pos};
      t_.insert(t_.begin() + to + 1, Token{Kind::Punct, QStringLiteral(")"), t_[to].pos});
      t_.insert(t_.begin() + from, {Token{Kind::Word, QStringLiteral("tsql_plus"), t_[from].pos},
                                    Token{Kind::Punct, QStringLiteral("("), t_[from].pos}});
      i += 2;
      return;
    }
    if (t_[l].kind == Kind::String || t_[r].kind == Kind::String || leftIsConcatenation(l)) {
      t_[i] = {Kind::Operator, QStringLiteral("||"), t_[i].pos};
    }
  }

  // Where the operands of the '+' between l and r begin and end when they are a text literal and a
  // column reference (a, a.b, [a b]) and nothing binds to either from outside ('a' + b + 'c' does);
  // {-1, -1} otherwise.
  std::pair<qsizetype, qsizetype> literalAndColumn(qsizetype l, qsizetype r) const {
    const std::pair<qsizetype, qsizetype> none{-1, -1};
    qsizetype from = l, to = r;
    if (t_[l].kind == Kind::String) {
      if (!isName(t_[r])) return none;
      for (qsizetype dot = nextSig(t_, to); dot >= 0 && t_[dot].is(Kind::Punct, u"."); dot = nextSig(t_, to)) {
        to = nextSig(t_, dot);
        if (to < 0 || !isName(t_[to])) return none;
      }
      const qsizetype after = nextSig(t_, to);
      if (after >= 0 && t_[after].is(Kind::Punct, u"(")) return none;  // a function call
    } else if (t_[r].kind == Kind::String && isName(t_[l])) {
      for (qsizetype dot = prevSig(t_, from); dot >= 0 && t_[dot].is(Kind::Punct, u"."); dot = prevSig(t_, from)) {
        from = prevSig(t_, dot);
        if (from < 0 || !isName(t_[from])) return none;
      }
    } else {
      return none;
    }
    const qsizetype before = prevSig(t_, from);
    const qsizetype after = nextSig(t_, to);
    if ((before >= 0 && bindsOperand(t_[before])) || (after >= 0 && bindsOperand(t_[after]))) return none;
    return {from, to};
  }

  // A word or a bracketed name that can name a column.
  static bool isName(const Token& t) {
    return t.kind == Kind::QuotedName ||
           (t.kind == Kind::Word && !isAnyWord(t, {u"NULL", u"CASE", u"END", u"NOT", u"EXISTS", u"SELECT"}));
  }

  // An operator that takes an operand next to it before the '+' does (all but the comparisons).
  static bool bindsOperand(const Token& t) {
    if (t.kind != Kind::Operator) return false;
    for (QStringView c : {u"=", u"<", u">", u"<=", u">=", u"<>", u"!=", u"!<", u"!>"}) {
      if (t.text == c) return false;
    }
    return true;
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
  for (Tokens& s : Splitter().run(dropTableHints(tsql::tokenize(tsql)))) {
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
