// SQL Server's catalogue: INFORMATION_SCHEMA for the tables and columns, the sys views for what
// INFORMATION_SCHEMA does not tell (computed and identity columns, indexes, keys that reference a
// unique index, disabled keys and triggers, INSTEAD OF triggers). Every statement runs on SQL
// Server 2005 and later.
#include "db/catalogue_dialect.h"
#include "db/database.h"

namespace db {

namespace {

class SqlServerCatalogue final : public CatalogueDialect {
 public:
  QString catalogueSql() const override {
    return QStringLiteral(
        "SELECT c.TABLE_SCHEMA, c.TABLE_NAME, c.COLUMN_NAME, c.DATA_TYPE, c.CHARACTER_MAXIMUM_LENGTH, "
        "c.COLLATION_NAME, SCHEMA_NAME() AS DEFAULT_SCHEMA FROM INFORMATION_SCHEMA.COLUMNS AS c INNER JOIN "
        "INFORMATION_SCHEMA.TABLES AS t ON t.TABLE_CATALOG = c.TABLE_CATALOG AND t.TABLE_SCHEMA = c.TABLE_SCHEMA AND "
        "t.TABLE_NAME = c.TABLE_NAME WHERE t.TABLE_TYPE = 'BASE TABLE' ORDER BY c.TABLE_SCHEMA, c.TABLE_NAME, "
        "c.ORDINAL_POSITION");
  }

  Catalogue readCatalogue(Database& database) const override {
    Catalogue out;
    out.defaultSchema = QStringLiteral("dbo");
    for (Recordset rs = database.open(catalogueSql()); !rs.eof(); rs.moveNext()) {
      if (!rs.text(QStringLiteral("DEFAULT_SCHEMA")).isEmpty())
        out.defaultSchema = rs.text(QStringLiteral("DEFAULT_SCHEMA"));
      CatalogueColumn c;
      c.name = rs.text(QStringLiteral("COLUMN_NAME"));
      c.type = rs.text(QStringLiteral("DATA_TYPE")).toLower();
      const qint64 width = rs.field(QStringLiteral("CHARACTER_MAXIMUM_LENGTH")).toLongLong();
      if (c.character() && !c.large() && width > 0) c.width = width;  // -1: (max)
      c.collation = rs.text(QStringLiteral("COLLATION_NAME"));
      tableOf(out, rs.text(QStringLiteral("TABLE_SCHEMA")), rs.text(QStringLiteral("TABLE_NAME"))).columns.push_back(c);
    }
    return out;
  }

  QString defaultCollation() const override { return QStringLiteral("DATABASE_DEFAULT"); }

  QString columnPropertiesSql(const QStringList& tables) const override {
    QStringList names;
    for (const QString& t : tables) names << sqlQuoteN(t);
    return QStringLiteral(
               "SELECT SCHEMA_NAME(t.schema_id) AS TABLE_SCHEMA, t.name AS TABLE_NAME, c.name AS COLUMN_NAME, "
               "c.is_computed AS IS_COMPUTED, c.is_identity AS IS_IDENTITY, CASE WHEN EXISTS (SELECT * FROM "
               "sys.index_columns AS ic INNER JOIN sys.indexes AS i ON i.object_id = ic.object_id AND i.index_id = "
               "ic.index_id WHERE ic.object_id = c.object_id AND ic.column_id = c.column_id AND ic.key_ordinal = 1 AND "
               "i.is_disabled = 0 AND i.is_hypothetical = 0) THEN 1 ELSE 0 END AS INDEXED FROM sys.columns AS c INNER "
               "JOIN sys.tables AS t ON t.object_id = c.object_id WHERE t.name IN (") +
           names.join(QStringLiteral(", ")) + u')';
  }

  QString foreignKeysSql() const override {
    // sys.foreign_key_columns names the referenced column also where the key references a unique
    // index (INFORMATION_SCHEMA knows only keys that reference a constraint).
    return QStringLiteral(
        "SELECT fk.name AS CONSTRAINT_NAME, SCHEMA_NAME(pt.schema_id) AS TABLE_SCHEMA, pt.name AS TABLE_NAME, pc.name "
        "AS COLUMN_NAME, SCHEMA_NAME(rt.schema_id) AS REF_SCHEMA, rt.name AS REF_TABLE, rc.name AS REF_COLUMN, "
        "REPLACE(fk.update_referential_action_desc, '_', ' ') AS UPDATE_RULE, fk.is_disabled AS IS_DISABLED FROM "
        "sys.foreign_keys AS fk INNER JOIN sys.foreign_key_columns AS k ON k.constraint_object_id = fk.object_id INNER "
        "JOIN sys.tables AS pt ON pt.object_id = k.parent_object_id INNER JOIN sys.columns AS pc ON pc.object_id = "
        "k.parent_object_id AND pc.column_id = k.parent_column_id INNER JOIN sys.tables AS rt ON rt.object_id = "
        "k.referenced_object_id INNER JOIN sys.columns AS rc ON rc.object_id = k.referenced_object_id AND "
        "rc.column_id = k.referenced_column_id ORDER BY TABLE_SCHEMA, TABLE_NAME, CONSTRAINT_NAME, "
        "k.constraint_column_id");
  }

  std::vector<CheckConstraint> readChecks(Database& database, const Catalogue&) const override {
    // A column's own constraint names it in parent_column_id; a table's names it in its definition.
    const QString sql = QStringLiteral(
        "SELECT cc.name AS CONSTRAINT_NAME, SCHEMA_NAME(t.schema_id) AS TABLE_SCHEMA, t.name AS TABLE_NAME, "
        "COL_NAME(cc.parent_object_id, cc.parent_column_id) AS COLUMN_NAME, cc.definition AS DEFINITION, "
        "cc.is_disabled AS IS_DISABLED FROM sys.check_constraints AS cc INNER JOIN sys.tables AS t ON t.object_id = "
        "cc.parent_object_id ORDER BY TABLE_SCHEMA, TABLE_NAME, CONSTRAINT_NAME");
    std::vector<CheckConstraint> out;
    for (Recordset rs = database.open(sql); !rs.eof(); rs.moveNext())
      out.push_back({rs.text(QStringLiteral("CONSTRAINT_NAME")), rs.text(QStringLiteral("TABLE_SCHEMA")),
                     rs.text(QStringLiteral("TABLE_NAME")), rs.text(QStringLiteral("COLUMN_NAME")),
                     rs.text(QStringLiteral("DEFINITION")), rs.field(QStringLiteral("IS_DISABLED")).toInt() == 1});
    return out;
  }

  std::vector<TableTrigger> readTriggers(Database& database) const override {
    // The DML triggers of tables (sys.triggers also holds those of views and of the database).
    const QString sql = QStringLiteral(
        "SELECT tr.name AS TRIGGER_NAME, SCHEMA_NAME(t.schema_id) AS TABLE_SCHEMA, t.name AS TABLE_NAME, "
        "OBJECTPROPERTY(tr.object_id, 'ExecIsUpdateTrigger') AS ON_UPDATE, tr.is_disabled AS DISABLED, "
        "tr.is_instead_of_trigger AS INSTEAD_OF FROM sys.triggers AS tr INNER JOIN sys.tables AS t ON t.object_id = "
        "tr.parent_id ORDER BY TABLE_NAME, TRIGGER_NAME");
    std::vector<TableTrigger> out;
    for (Recordset rs = database.open(sql); !rs.eof(); rs.moveNext())
      out.push_back({rs.text(QStringLiteral("TRIGGER_NAME")), rs.text(QStringLiteral("TABLE_SCHEMA")),
                     rs.text(QStringLiteral("TABLE_NAME")), rs.field(QStringLiteral("ON_UPDATE")).toInt() == 1,
                     rs.field(QStringLiteral("INSTEAD_OF")).toInt() == 1,
                     rs.field(QStringLiteral("DISABLED")).toInt() == 1});
    return out;
  }

  QString firstValuesSql(const CatalogueTable& table, const CatalogueColumn& column, int rows) const override {
    const QString c = bracketedName(column.name);
    return QStringLiteral("SELECT TOP %1 %2 AS v FROM %3 WHERE %4 IS NOT NULL")
        .arg(rows)
        .arg(column.large() ? QStringLiteral("CAST(%1 AS nvarchar(4000))").arg(c) : c, Catalogue::qualifiedName(table),
             c);
  }

  QString engineStatement(const QString& sql) const override { return sql; }
};

}  // namespace

const CatalogueDialect& sqlServerCatalogue() {
  static const SqlServerCatalogue dialect;
  return dialect;
}

}  // namespace db
