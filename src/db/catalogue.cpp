#include "db/catalogue.h"

#include "db/catalogue_dialect.h"
#include "db/database.h"

namespace db {

namespace {

const CatalogueDialect& dialect(Database& database) {
  return database.kind() == EngineKind::SqlServer ? sqlServerCatalogue() : sqliteCatalogue();
}

}  // namespace

QString tableKey(const QString& schema, const QString& table) {
  return schema.toCaseFolded() + u'\n' + table.toCaseFolded();
}

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

QString Catalogue::qualifiedName(const CatalogueTable& table) {
  return table.schema.isEmpty() ? bracketedName(table.name)
                                : bracketedName(table.schema) + u'.' + bracketedName(table.name);
}

CatalogueTable& tableOf(Catalogue& catalogue, const QString& schema, const QString& table) {
  const QString k = tableKey(schema, table);
  auto it = catalogue.index.constFind(k);
  if (it == catalogue.index.cend()) {
    it = catalogue.index.insert(k, catalogue.tables.size());
    catalogue.tables.push_back({schema, table, {}});
  }
  return catalogue.tables[*it];
}

QString catalogueSql(Database& database) { return dialect(database).catalogueSql(); }

Catalogue readCatalogue(Database& database) { return dialect(database).readCatalogue(database); }

QString inDefaultCollation(Database& database, const QString& expression) {
  return expression + QStringLiteral(" COLLATE ") + dialect(database).defaultCollation();
}

std::vector<ColumnProperties> readColumnProperties(Database& database, const QStringList& tables) {
  std::vector<ColumnProperties> out;
  if (tables.isEmpty()) return out;
  for (Recordset rs = database.open(dialect(database).columnPropertiesSql(tables)); !rs.eof(); rs.moveNext())
    out.push_back({rs.text(QStringLiteral("TABLE_SCHEMA")), rs.text(QStringLiteral("TABLE_NAME")),
                   rs.text(QStringLiteral("COLUMN_NAME")), rs.field(QStringLiteral("IS_COMPUTED")).toInt() == 1,
                   rs.field(QStringLiteral("IS_IDENTITY")).toInt() == 1,
                   rs.field(QStringLiteral("INDEXED")).toInt() == 1});
  return out;
}

std::vector<ForeignKeyColumn> readForeignKeys(Database& database) {
  std::vector<ForeignKeyColumn> out;
  for (Recordset rs = database.open(dialect(database).foreignKeysSql()); !rs.eof(); rs.moveNext())
    out.push_back({rs.text(QStringLiteral("CONSTRAINT_NAME")), rs.text(QStringLiteral("TABLE_SCHEMA")),
                   rs.text(QStringLiteral("TABLE_NAME")), rs.text(QStringLiteral("COLUMN_NAME")),
                   rs.text(QStringLiteral("REF_SCHEMA")), rs.text(QStringLiteral("REF_TABLE")),
                   rs.text(QStringLiteral("REF_COLUMN")), rs.text(QStringLiteral("UPDATE_RULE")).toUpper(),
                   rs.field(QStringLiteral("IS_DISABLED")).toInt() == 1});
  return out;
}

std::vector<CheckConstraint> readChecks(Database& database, const Catalogue& catalogue) {
  return dialect(database).readChecks(database, catalogue);
}

std::vector<TableTrigger> readTriggers(Database& database) { return dialect(database).readTriggers(database); }

QString firstValuesSql(Database& database, const CatalogueTable& table, const CatalogueColumn& column, int rows) {
  return dialect(database).firstValuesSql(table, column, rows);
}

QString engineStatement(Database& database, const QString& sql) { return dialect(database).engineStatement(sql); }

}  // namespace db
