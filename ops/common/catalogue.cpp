#include "ops/common/catalogue.h"

#include <QSet>

#include "db/database.h"
#include "db/sqlite_columns.h"
#include "db/sqlserver_collation.h"

namespace dbcheck {

namespace {

// A declared type as the embedded engine keeps it ("VARCHAR(10)"): the type's name and its width.
void parseDeclared(CatalogueColumn& c, const QString& declared) {
  const QString t = declared.trimmed().toLower();
  const qsizetype open = t.indexOf(u'(');
  c.type = open < 0 ? t : t.left(open).trimmed();
  if (open >= 0 && c.character()) {
    bool ok = false;
    const qint64 width = t.mid(open + 1).section(u')', 0, 0).section(u',', 0, 0).trimmed().toLongLong(&ok);
    if (ok && width > 0) c.width = width;
  }
}

}  // namespace

QString tableKey(const QString& schema, const QString& table) {
  return schema.toCaseFolded() + u'\n' + table.toCaseFolded();
}

QStringList allOperations() {
  return {QStringLiteral("单个修改"), QStringLiteral("批量上传"), QStringLiteral("无岗位处理")};
}

QString conditionColumn(const QString& extra) {
  QString s = extra.trimmed();
  if (s.startsWith(QStringLiteral("AND "), Qt::CaseInsensitive)) s = s.mid(4).trimmed();
  const qsizetype eq = s.indexOf(u'=');
  return eq > 0 ? s.left(eq).trimmed() : QString();
}

// ---- Catalogue ----------------------------------------------------------------------------------

bool CatalogueColumn::character() const {
  // A column the embedded engine holds without a declared type takes any text.
  return type.isEmpty() || type.contains(QStringLiteral("char")) || type.contains(QStringLiteral("text")) ||
         type.contains(QStringLiteral("clob")) || type == u"sysname";
}

QString CatalogueColumn::declared() const {
  if (width > 0) return QStringLiteral("%1(%2)").arg(type).arg(width);
  if (type == u"varchar" || type == u"nvarchar") return type + QStringLiteral("(max)");
  return type.isEmpty() ? QStringLiteral("（未声明类型）") : type;
}

const CatalogueColumn* CatalogueTable::column(const QString& wanted) const {
  for (const CatalogueColumn& c : columns)
    if (c.name.compare(wanted, Qt::CaseInsensitive) == 0) return &c;
  return nullptr;
}

const CatalogueTable* Catalogue::exact(const QString& schema, const QString& table) const {
  const auto it = index.constFind(tableKey(schema, table));
  return it == index.cend() ? nullptr : &tables[*it];
}

const CatalogueTable* Catalogue::find(const QString& table) const {
  if (const CatalogueTable* t = exact(defaultSchema, table)) return t;
  return defaultSchema.isEmpty() ? nullptr : exact(QStringLiteral("dbo"), table);  // the embedded engine: no schemas
}

QString Catalogue::shownName(const CatalogueTable& table) const {
  return table.schema.isEmpty() || find(table.name) == &table ? table.name : table.schema + u'.' + table.name;
}

QString catalogueSql(db::Database& database) {
  if (database.kind() == db::EngineKind::SqlServer)
    return QStringLiteral(
        "SELECT c.TABLE_SCHEMA, c.TABLE_NAME, c.COLUMN_NAME, c.DATA_TYPE, c.CHARACTER_MAXIMUM_LENGTH, "
        "c.COLLATION_NAME, SCHEMA_NAME() AS DEFAULT_SCHEMA FROM INFORMATION_SCHEMA.COLUMNS AS c INNER JOIN "
        "INFORMATION_SCHEMA.TABLES AS t ON t.TABLE_CATALOG = c.TABLE_CATALOG AND t.TABLE_SCHEMA = c.TABLE_SCHEMA AND "
        "t.TABLE_NAME = c.TABLE_NAME WHERE t.TABLE_TYPE = 'BASE TABLE' ORDER BY c.TABLE_SCHEMA, c.TABLE_NAME, "
        "c.ORDINAL_POSITION");
  // The embedded engine's own catalogue: its declared types hold the width ("VARCHAR(10)"), the
  // table's declaration (with its first column) the collations; generated columns are columns.
  return db::kEmbeddedOnly +
         QStringLiteral(
             "SELECT '' AS TABLE_SCHEMA, m.name AS TABLE_NAME, p.name AS COLUMN_NAME, p.type AS DATA_TYPE, NULL AS "
             "CHARACTER_MAXIMUM_LENGTH, NULL AS COLLATION_NAME, '' AS DEFAULT_SCHEMA, CASE WHEN p.cid = 0 THEN m.sql "
             "END AS TABLE_SQL FROM sqlite_master AS m JOIN pragma_table_xinfo(m.name) AS p WHERE m.type = 'table' AND "
             "m.name NOT LIKE 'sqlite%' AND p.hidden <> 1 ORDER BY m.name, p.cid");
}

QString inDefaultCollation(db::Database& database, const QString& expression) {
  return expression + QStringLiteral(" COLLATE ") +
         (database.kind() == db::EngineKind::SqlServer ? QStringLiteral("DATABASE_DEFAULT")
                                                       : QString::fromLatin1(db::collation::kName));
}

Catalogue readCatalogue(db::Database& database) {
  Catalogue out;
  const bool server = database.kind() == db::EngineKind::SqlServer;
  out.defaultSchema = server ? QStringLiteral("dbo") : QString();
  std::vector<QString> collations;  // the embedded engine: those the current table declares, by column
  for (db::Recordset rs = database.open(catalogueSql(database)); !rs.eof(); rs.moveNext()) {
    const QString schema = rs.text(QStringLiteral("TABLE_SCHEMA")), table = rs.text(QStringLiteral("TABLE_NAME"));
    if (server && !rs.text(QStringLiteral("DEFAULT_SCHEMA")).isEmpty())
      out.defaultSchema = rs.text(QStringLiteral("DEFAULT_SCHEMA"));
    const QString k = tableKey(schema, table);
    auto it = out.index.constFind(k);
    if (it == out.index.cend()) {
      it = out.index.insert(k, out.tables.size());
      out.tables.push_back({schema, table, {}});
    }
    CatalogueColumn c;
    c.name = rs.text(QStringLiteral("COLUMN_NAME"));
    if (server) {
      c.type = rs.text(QStringLiteral("DATA_TYPE")).toLower();
      const qint64 width = rs.field(QStringLiteral("CHARACTER_MAXIMUM_LENGTH")).toLongLong();
      if (c.character() && !c.large() && width > 0) c.width = width;  // -1: (max)
      c.collation = rs.text(QStringLiteral("COLLATION_NAME"));
    } else {
      parseDeclared(c, rs.text(QStringLiteral("DATA_TYPE")));
      if (!rs.isNull(QStringLiteral("TABLE_SQL")))
        collations = db::sqliteTableDeclaration(rs.text(QStringLiteral("TABLE_SQL"))).collations;
      const std::size_t place = out.tables[*it].columns.size();
      const QString named = place < collations.size() ? collations[place] : QString();
      if (c.character()) c.collation = named.isEmpty() ? db::kSqliteDefaultCollation.toString() : named;
    }
    out.tables[*it].columns.push_back(c);
  }
  return out;
}

std::vector<Missing> missingFrom(const Catalogue& catalogue, const std::vector<host::RefColumn>& columns) {
  std::vector<Missing> out;
  QSet<QString> tablesReported;
  for (const host::RefColumn& c : columns) {
    const CatalogueTable* table = catalogue.find(c.tableName());
    if (!table) {
      if (!tablesReported.contains(c.tableName().toCaseFolded())) {
        tablesReported << c.tableName().toCaseFolded();
        out.push_back({c.tableName(), QString(), allOperations()});
      }
      continue;
    }
    for (const QString& column : {c.columnName(), conditionColumn(c.extraCondition())})
      if (!column.isEmpty() && !table->column(column)) out.push_back({c.tableName(), column, allOperations()});
  }
  return out;
}

}  // namespace dbcheck
