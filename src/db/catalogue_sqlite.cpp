// The embedded engine's catalogue: sqlite_master, pragma_table_xinfo, its index and foreign-key
// pragmas, and its tables' declarations read back (db/sqlite_columns.h) for what SQLite keeps
// only there (the collations, the CHECK constraints). Every statement is its own dialect, sent as
// it is (kEmbeddedOnly).
#include <QHash>

#include "db/catalogue_dialect.h"
#include "db/database.h"
#include "db/sqlite_columns.h"
#include "db/sqlserver_collation.h"
#include "db/tsql_tokens.h"

namespace db {

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

// What a trigger does, read from its text: the event after BEFORE / AFTER / INSTEAD OF, and
// whether it runs instead of the update (INSTEAD OF, which SQLite has on views only, or a BEFORE
// trigger that drops the row's update with RAISE(IGNORE)). A text not understood counts as a
// trigger on update.
void readTriggerText(TableTrigger& g, const QString& sql) {
  using tsql::Kind;
  std::vector<tsql::Token> tokens;
  for (tsql::Token& t : tsql::tokenize(sql, false))
    if (t.significant()) tokens.push_back(std::move(t));
  bool named = false, event = false, before = false, ignores = false;
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const tsql::Token& t = tokens[k];
    if (t.isWord(u"TRIGGER")) named = true;
    if (!named) continue;
    if (!event) {
      before = before || t.isWord(u"BEFORE");
      g.insteadOf = g.insteadOf || t.isWord(u"INSTEAD");
      if (t.isWord(u"UPDATE") || t.isWord(u"INSERT") || t.isWord(u"DELETE")) {
        event = true;
        g.onUpdate = t.isWord(u"UPDATE");
      }
    } else if (t.isWord(u"RAISE") && k + 2 < tokens.size() && tokens[k + 1].is(Kind::Punct, u"(") &&
               tokens[k + 2].isWord(u"IGNORE")) {
      ignores = true;
    }
  }
  g.insteadOf = g.insteadOf || (before && ignores);
}

class SqliteCatalogue final : public CatalogueDialect {
 public:
  // Its declared types hold the width ("VARCHAR(10)"), the table's declaration (with its first
  // column) the collations; generated columns are columns.
  QString catalogueSql() const override {
    return kEmbeddedOnly +
           QStringLiteral(
               "SELECT '' AS TABLE_SCHEMA, m.name AS TABLE_NAME, p.name AS COLUMN_NAME, p.type AS DATA_TYPE, NULL AS "
               "CHARACTER_MAXIMUM_LENGTH, NULL AS COLLATION_NAME, '' AS DEFAULT_SCHEMA, CASE WHEN p.cid = 0 THEN "
               "m.sql END AS TABLE_SQL FROM sqlite_master AS m JOIN pragma_table_xinfo(m.name) AS p WHERE m.type = "
               "'table' AND m.name NOT LIKE 'sqlite%' AND p.hidden <> 1 ORDER BY m.name, p.cid");
  }

  Catalogue readCatalogue(Database& database) const override {
    Catalogue out;
    std::vector<QString> collations;  // those the current table declares, by column
    for (Recordset rs = database.open(catalogueSql()); !rs.eof(); rs.moveNext()) {
      CatalogueTable& table = tableOf(out, QString(), rs.text(QStringLiteral("TABLE_NAME")));
      CatalogueColumn c;
      c.name = rs.text(QStringLiteral("COLUMN_NAME"));
      parseDeclared(c, rs.text(QStringLiteral("DATA_TYPE")));
      if (!rs.isNull(QStringLiteral("TABLE_SQL")))
        collations = sqliteTableDeclaration(rs.text(QStringLiteral("TABLE_SQL"))).collations;
      const std::size_t place = table.columns.size();
      const QString named = place < collations.size() ? collations[place] : QString();
      if (c.character()) c.collation = named.isEmpty() ? kSqliteDefaultCollation.toString() : named;
      table.columns.push_back(c);
    }
    return out;
  }

  QString defaultCollation() const override { return QString::fromLatin1(collation::kName); }

  QString columnPropertiesSql(const QStringList& tables) const override {
    QStringList names;
    for (const QString& t : tables) names << sqlQuote(t);
    // A table's INTEGER PRIMARY KEY (its only key column) is its rowid: the engine numbers new rows
    // in it, as SQL Server an identity column, and it is the table's own key. Table names compare
    // as SQLite's do (ASCII letters without case).
    return kEmbeddedOnly +
           QStringLiteral(
               "SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, IS_COMPUTED, IS_IDENTITY, IS_IDENTITY OR INDEXED AS "
               "INDEXED FROM (SELECT '' AS TABLE_SCHEMA, m.name AS TABLE_NAME, p.name AS COLUMN_NAME, p.hidden IN "
               "(2, 3) AS IS_COMPUTED, p.pk = 1 AND upper(p.type) = 'INTEGER' AND (SELECT COUNT(*) FROM "
               "pragma_table_info(m.name) AS k WHERE k.pk > 0) = 1 AS IS_IDENTITY, EXISTS (SELECT 1 FROM "
               "pragma_index_list(m.name) AS il JOIN pragma_index_info(il.name) AS ii WHERE ii.seqno = 0 AND ii.name "
               "= p.name COLLATE NOCASE) AS INDEXED FROM sqlite_master AS m JOIN pragma_table_xinfo(m.name) AS p "
               "WHERE m.type = 'table' AND p.hidden <> 1 AND m.name COLLATE NOCASE IN (") +
           names.join(QStringLiteral(", ")) + QStringLiteral("))");
  }

  QString foreignKeysSql() const override {
    return kEmbeddedOnly +
           QStringLiteral(
               "SELECT '' AS CONSTRAINT_NAME, '' AS TABLE_SCHEMA, m.name AS TABLE_NAME, f.\"from\" AS COLUMN_NAME, '' "
               "AS REF_SCHEMA, f.\"table\" AS REF_TABLE, f.\"to\" AS REF_COLUMN, f.on_update AS UPDATE_RULE, 0 AS "
               "IS_DISABLED FROM sqlite_master AS m JOIN pragma_foreign_key_list(m.name) AS f WHERE m.type = 'table' "
               "ORDER BY m.name, f.id, f.seq");
  }

  std::vector<CheckConstraint> readChecks(Database& database, const Catalogue& catalogue) const override {
    const QString sql = kEmbeddedOnly + QStringLiteral(
                                            "SELECT name AS TABLE_NAME, sql AS TABLE_SQL FROM sqlite_master WHERE type "
                                            "= 'table' AND name NOT LIKE 'sqlite%' ORDER BY name");
    std::vector<CheckConstraint> out;
    for (Recordset rs = database.open(sql); !rs.eof(); rs.moveNext()) {
      const CatalogueTable* t = catalogue.exact(QString(), rs.text(QStringLiteral("TABLE_NAME")));
      if (!t) continue;
      for (const SqliteCheck& c : sqliteTableDeclaration(rs.text(QStringLiteral("TABLE_SQL"))).checks) {
        const bool placed = c.column >= 0 && std::size_t(c.column) < t->columns.size();
        out.push_back({c.name, QString(), t->name, placed ? t->columns[std::size_t(c.column)].name : QString(),
                       c.definition, false});
      }
    }
    return out;
  }

  std::vector<TableTrigger> readTriggers(Database& database) const override {
    const QString sql = kEmbeddedOnly + QStringLiteral(
                                            "SELECT name AS TRIGGER_NAME, tbl_name AS TABLE_NAME, sql AS TRIGGER_SQL "
                                            "FROM sqlite_master WHERE type = 'trigger' ORDER BY tbl_name, name");
    std::vector<TableTrigger> out;
    for (Recordset rs = database.open(sql); !rs.eof(); rs.moveNext()) {
      TableTrigger g{rs.text(QStringLiteral("TRIGGER_NAME")), QString(), rs.text(QStringLiteral("TABLE_NAME"))};
      readTriggerText(g, rs.text(QStringLiteral("TRIGGER_SQL")));
      out.push_back(g);
    }
    return out;
  }

  QString firstValuesSql(const CatalogueTable& table, const CatalogueColumn& column, int rows) const override {
    const QString c = bracketedName(column.name);
    return QStringLiteral("SELECT %2 AS v FROM %3 WHERE %2 IS NOT NULL LIMIT %1")
        .arg(rows)
        .arg(c, Catalogue::qualifiedName(table));
  }

  QString engineStatement(const QString& sql) const override { return kEmbeddedOnly + sql; }
};

}  // namespace

const CatalogueDialect& sqliteCatalogue() {
  static const SqliteCatalogue dialect;
  return dialect;
}

}  // namespace db
