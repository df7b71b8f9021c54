#include "core/preview/preview.h"

#include <QHash>
#include <QSet>

#include "db/database.h"
#include "db/tsql_tokens.h"
#include "core/common/catalogue.h"

namespace preview {

namespace {

Lack lackOf(const db::Catalogue& catalogue, const Column& c) {
  const db::CatalogueTable* table = catalogue.find(c.table);
  if (!table) return Lack::Table;
  const QString condition = common::conditionColumn(c.extra);
  if (!table->column(c.column) || (!condition.isEmpty() && !table->column(condition))) return Lack::Column;
  return Lack::None;
}

Impact counted(db::Database& database, const std::vector<Column>& columns, const std::vector<Pair>& pairs,
               const common::Stepper& step) {
  // Every number once, as asked (the database decides which rows hold it).
  QStringList numbers;
  QSet<QString> asked;
  for (const Pair& p : pairs) {
    if (p.first == p.second) continue;
    for (const QString& n : {p.first, p.second})
      if (!asked.contains(n)) {
        asked.insert(n);
        numbers << n;
      }
  }
  Impact out;
  out.employees.reserve(pairs.size());
  for (const Pair& p : pairs) out.employees.push_back({p.first, p.second, 0, 0});
  const int total = int(columns.size());
  const db::Catalogue catalogue = db::readCatalogue(database);
  // The columns the database has, each counted among the rows the renumber rewrites and, with an
  // extra condition, among all its rows too (for the rows that stay): all in the joined statements.
  std::vector<Lack> lacks;
  std::vector<QByteArray> names;  // the texts the counted columns point into
  names.reserve(3 * columns.size());
  std::vector<common::CountedColumn> counted;
  std::vector<std::pair<qsizetype, qsizetype>>
      partsOf;  // per column: its rewritten rows' part, all rows' part (-1: none)
  for (const Column& c : columns) {
    lacks.push_back(lackOf(catalogue, c));
    if (lacks.back() != Lack::None) {
      partsOf.emplace_back(-1, -1);
      continue;
    }
    for (const QString& name : {c.table, c.column, c.extra}) names.push_back(name.toUtf8());
    const auto text = [&](std::size_t back) {
      return reinterpret_cast<const char8_t*>(names[names.size() - back].constData());
    };
    const host::RefColumn ref{text(3), text(2), text(1)};
    partsOf.emplace_back(qsizetype(counted.size()), c.extra.isEmpty() ? -1 : qsizetype(counted.size()) + 1);
    counted.push_back({ref, true});
    if (!c.extra.isEmpty()) counted.push_back({ref, false});
  }
  // Progress in columns: all of them are counted together, a slice of the numbers at a time.
  std::vector<std::vector<qint64>> rows;
  if (numbers.isEmpty() || counted.empty())
    step(0, total);
  else
    rows = common::joinedCounts(database, counted, numbers, common::kAskedPerStatement,
                                [&](int done, int all) { step(int(qint64(total) * done / std::max(all, 1)), total); });
  QHash<QString, qsizetype> place;  // a number's place among those asked
  for (qsizetype i = 0; i < numbers.size(); ++i) place.insert(numbers[i], i);
  const auto rowsOf = [&](qsizetype part, const QString& number) -> qint64 {
    const auto it = place.constFind(number);
    return part < 0 || it == place.cend() ? 0 : rows[std::size_t(part)][std::size_t(*it)];
  };
  for (std::size_t k = 0; k < columns.size(); ++k) {
    const Column& c = columns[k];
    if (lacks[k] != Lack::None) {
      out.columns.push_back({c, lacks[k], 0, 0, 0});
      continue;
    }
    const auto [rewritten, all] = partsOf[k];
    ColumnImpact ci{c, Lack::None, 0, 0, 0};
    QSet<QString> staying;  // an old number of two pairs stays once
    for (const Pair& p : pairs)
      if (all >= 0 && p.first != p.second && !staying.contains(p.first)) {
        staying.insert(p.first);
        ci.stayingRows += rowsOf(all, p.first) - rowsOf(rewritten, p.first);
      }
    out.totalStaying += ci.stayingRows;
    for (EmployeeImpact& e : out.employees) {
      if (e.oldNo == e.newNo) continue;
      const qint64 moved = rowsOf(rewritten, e.oldNo), merged = rowsOf(rewritten, e.newNo);
      e.rowsMoved += moved;
      e.newRows += merged;
      ci.oldRows += moved;
      ci.newRows += merged;
    }
    out.totalOld += ci.oldRows;
    out.totalNew += ci.newRows;
    out.columns.push_back(ci);
  }
  return out;
}

}  // namespace

QString lackText(Lack lack) {
  switch (lack) {
    case Lack::Table: return QStringLiteral("缺少此表，修改将失败并全部撤销");
    case Lack::Column: return QStringLiteral("缺少此列，修改将失败并全部撤销");
    case Lack::None: break;
  }
  return QString();
}

QStringList Impact::missing() const {
  QStringList out;
  for (const ColumnImpact& c : columns) {
    if (c.lack == Lack::None) continue;
    const QString name = c.lack == Lack::Table ? c.column.table : c.column.table + u'.' + c.column.column;
    if (!out.contains(name, Qt::CaseInsensitive)) out << name;
  }
  return out;
}

QString statementPerLine(const QString& execution) {
  // A statement begins with Update right after the literal that ends the statement before it (a
  // table or column named so follows Update, set or Where instead).
  QString out;
  qsizetype copied = 0;  // execution[0, copied) is in out
  const db::tsql::Token* last = nullptr;  // the last significant token
  const std::vector<db::tsql::Token> tokens = db::tsql::tokenize(execution, false);
  for (const db::tsql::Token& t : tokens) {
    if (!t.significant()) continue;
    if (last && t.isWord(u"UPDATE") && (last->kind == db::tsql::Kind::String || last->kind == db::tsql::Kind::Number)) {
      const qsizetype end = last->pos + last->text.size();
      out += execution.mid(copied, end - copied) + QStringLiteral("\r\n");
      copied = end;
    }
    last = &t;
  }
  return out + execution.mid(copied);
}

Impact impact(db::Database& database, const std::vector<Column>& columns, const std::vector<Pair>& pairs,
              const common::Progress& progress) {
  const common::Stepper step(progress, database);
  return step.run([&] { return counted(database, columns, pairs, step); });
}

QString script(const ScriptHeader& h, const Impact& impact, const QStringList& executions) {
  const QString nl = QStringLiteral("\r\n");
  const auto comment = [](QString text) {
    return QStringLiteral("-- ") + text.replace(u'\n', u' ').replace(u'\r', u' ');
  };
  QString s;
  s += comment(QStringLiteral("renumber 修改脚本：") + h.operation) + nl;
  s += comment(QStringLiteral("服务器：") + h.server + QStringLiteral("  数据库：") + h.database +
               QStringLiteral("  登录：") + h.login) +
       nl;
  s += comment(QStringLiteral("生成时间：") + h.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))) + nl;
  s += comment(QStringLiteral("影响：%1列，原工号所在%2行将改为新工号；新工号已有%3行")
                   .arg(impact.columns.size())
                   .arg(impact.totalOld)
                   .arg(impact.totalNew)) +
       nl;
  for (const ColumnImpact& c : impact.columns)
    if (c.oldRows > 0 || c.newRows > 0)
      s += comment(QStringLiteral("  %1.%2：原工号%3行，新工号已有%4行")
                       .arg(c.column.table, c.column.column)
                       .arg(c.oldRows)
                       .arg(c.newRows)) +
           nl;
  for (const QString& line : stayingLines(impact)) s += comment(line) + nl;
  for (const ColumnImpact& c : impact.columns)
    if (c.lack != Lack::None)
      s += comment(QStringLiteral("  %1.%2：%3").arg(c.column.table, c.column.column, lackText(c.lack))) + nl;
  // All or nothing in any client (SSMS, sqlcmd): XACT_ABORT ends only the batch that failed, and a
  // batch that does not compile is skipped while the transaction stays open. So each execution
  // marks its end in a temporary table, and before each the script checks that the transaction is
  // still open and the one before it ran to its end; otherwise nothing more is executed (SET NOEXEC
  // ON) and the end rolls everything back instead of committing.
  const QString go = nl + QStringLiteral("go") + nl;
  const auto step = [](qsizetype n) {
    return QStringLiteral(
               "IF @@TRANCOUNT = 0 OR NOT EXISTS (SELECT 1 FROM #renumber_step WHERE step = %1) SET NOEXEC ON")
        .arg(n);
  };
  s += QStringLiteral("SET XACT_ABORT ON") + nl + QStringLiteral("SET NOEXEC OFF") + go;
  s += comment(QStringLiteral("分%1段执行：任何一段失败或不能执行时，后面各段都不执行，全部修改撤销")
                   .arg(executions.size())) +
       nl;
  s += QStringLiteral("IF OBJECT_ID('tempdb..#renumber_step') IS NOT NULL DROP TABLE #renumber_step") + nl;
  s += QStringLiteral("CREATE TABLE #renumber_step (step int NOT NULL)") + nl;
  s += QStringLiteral("INSERT INTO #renumber_step (step) VALUES (0)") + nl;
  s += QStringLiteral("BEGIN TRANSACTION") + go;
  for (qsizetype i = 0; i < executions.size(); ++i) {
    s += step(i) + go;
    s += statementPerLine(executions[i]) + nl + QStringLiteral("UPDATE #renumber_step SET step = %1").arg(i + 1) + go;
  }
  s += QStringLiteral("SET NOEXEC OFF") + go;
  s += QStringLiteral("IF @@TRANCOUNT > 0 AND EXISTS (SELECT 1 FROM #renumber_step WHERE step = %1)")
           .arg(executions.size()) +
       nl + QStringLiteral("  COMMIT TRANSACTION") + nl + QStringLiteral("ELSE") + nl + QStringLiteral("BEGIN") + nl +
       QStringLiteral("  IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION") + nl +
       QStringLiteral("  RAISERROR(N'修改没有全部完成，已全部撤销，数据库没有任何修改', 16, 1)") + nl +
       QStringLiteral("END") + go;
  s += QStringLiteral("DROP TABLE #renumber_step") + go;
  return s;
}

QStringList stayingLines(const Impact& impact) {
  QStringList out;
  for (const ColumnImpact& c : impact.columns) {
    if (c.stayingRows <= 0) continue;
    out << QStringLiteral("%1中另有%2行记录不满足 %3，留在原工号下，不会修改")
               .arg(c.column.table)
               .arg(c.stayingRows)
               .arg(host::shownCondition(c.column.extra));
  }
  return out;
}

QString table(const Impact& impact) {
  QString s = QStringLiteral("表\t列\t原工号行数\t新工号已有行数\n");
  for (const ColumnImpact& c : impact.columns) {
    const QString column = c.column.added ? c.column.column + QStringLiteral("（加入的列）") : c.column.column;
    if (c.lack != Lack::None)
      s += QStringLiteral("%1\t%2\t%3\n").arg(c.column.table, column, lackText(c.lack));
    else
      s += QStringLiteral("%1\t%2\t%3\t%4%5\n")
               .arg(c.column.table, column)
               .arg(c.oldRows)
               .arg(c.newRows)
               .arg(c.newRows > 0 ? QStringLiteral("\t*") : QString());
  }
  s += QStringLiteral("合计\t%1列\t%2\t%3\n").arg(impact.columns.size()).arg(impact.totalOld).arg(impact.totalNew);
  if (impact.totalNew > 0) s += QStringLiteral("* 新工号已有记录，修改后将并入该员工\n");
  for (const QString& line : stayingLines(impact)) s += line + u'\n';
  return s;
}

QByteArray scriptFile(const QString& script) { return QByteArray("\xEF\xBB\xBF") + script.toUtf8(); }

}  // namespace preview
