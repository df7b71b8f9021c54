#pragma once
// Columns the administrator added to the renumber (found by the database check): kept in the tool's
// own settings (never in the host system's DBConfig), one list per server and database, and rewritten
// by every renumber after the built-in statements.
#include <QString>
#include <vector>

namespace common::added {

struct AddedColumn {
  QString table;
  QString column;
  bool operator==(const AddedColumn& o) const {
    return table.compare(o.table, Qt::CaseInsensitive) == 0 && column.compare(o.column, Qt::CaseInsensitive) == 0;
  }
};

// A plain name: letters (any script), digits and "_" only. A name with brackets, quotes,
// semicolons, blanks or any other sign is refused. A plain name that is a reserved word or begins
// with a digit ("Order", "2号") is taken: statements bracket it (host::RefColumn::tableSql()).
bool plainName(const QString& name);
// Why a column cannot be added ("" when it can).
QString refusal(const AddedColumn& column);

// The settings of the added columns. The file is the tool's own settings (settingsFile empty: the
// user's settings of application "renumber"); databaseKey names the server and database.
class Store {
 public:
  Store(QString settingsFile, QString databaseKey);
  std::vector<AddedColumn> columns() const;
  // Adds a column (a second time changes nothing); returns the refusal, "" when added.
  QString add(const AddedColumn& column);
  void remove(const AddedColumn& column);

 private:
  QString file_, key_;
  void save(const std::vector<AddedColumn>& list);
};

}  // namespace common::added
