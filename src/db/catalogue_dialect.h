#pragma once
// How one engine reads its catalogue (db/catalogue.h): the one place that knows which engine it
// talks to picks the reader; everything else goes through db/catalogue.h.
#include "db/catalogue.h"

namespace db {

class CatalogueDialect {
 public:
  virtual ~CatalogueDialect() = default;
  virtual QString catalogueSql() const = 0;
  virtual Catalogue readCatalogue(Database& database) const = 0;
  virtual QString defaultCollation() const = 0;
  // Rows TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, IS_COMPUTED, IS_IDENTITY, INDEXED (1 or 0), read
  // alike for both engines.
  virtual QString columnPropertiesSql(const QStringList& tables) const = 0;
  // Rows CONSTRAINT_NAME, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, REF_SCHEMA, REF_TABLE, REF_COLUMN,
  // UPDATE_RULE, IS_DISABLED, read alike for both engines.
  virtual QString foreignKeysSql() const = 0;
  virtual std::vector<CheckConstraint> readChecks(Database& database, const Catalogue& catalogue) const = 0;
  virtual std::vector<TableTrigger> readTriggers(Database& database) const = 0;
  virtual QString firstValuesSql(const CatalogueTable& table, const CatalogueColumn& column, int rows) const = 0;
  virtual QString engineStatement(const QString& sql) const = 0;
};

const CatalogueDialect& sqlServerCatalogue();
const CatalogueDialect& sqliteCatalogue();

// The catalogue's index rebuilt from its tables; a row's table found or added.
CatalogueTable& tableOf(Catalogue& catalogue, const QString& schema, const QString& table);

}  // namespace db
