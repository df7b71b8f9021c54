#pragma once
// The session: what the tool works on once the connection is open, made once at start-up and
// handed to every window, which hands it (or its database) to the operations. It holds the
// connection, the server and database it reaches with the login used (the exported script's
// header and the journal's entries name them), the key of that server and database (computed here
// once), the columns the administrator added to the renumber for it, and its change journal.
// Two sessions on two databases share nothing.
#include <QString>
#include <set>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "host/host_tables.h"
#include "core/common/added_columns.h"
#include "core/preview/preview.h"
#include "core/journal/journal.h"

namespace db {
class Database;
}

namespace session {

// Where the changes go and who makes them, as the settings name them.
struct Origin {
  QString server;  // Svr ("sqlite:<path>" for an embedded database)
  QString database;  // DBname
  QString login;  // UID
};

class Session {
 public:
  // settingsFile: the tool's own settings that keep the added columns ("" = the user's settings
  // of application "renumber"); journalFolder: where the journal file lies ("" = the user's data
  // folder of the tool). The journal is closed until openJournal().
  Session(db::Database& database, Origin origin, QString settingsFile = {}, QString journalFolder = {});
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  db::Database& database() const { return database_; }
  const Origin& origin() const { return origin_; }
  // The key of the server and database: the added columns' settings and the journal's file are
  // found by it.
  const QString& key() const { return key_; }
  // The header of an exported script: server, database and login (its time left null: now).
  preview::ScriptHeader scriptHeader() const;

  // ---- The added columns ---------------------------------------------------------------------
  // As the settings keep them (a hand-edited name that is not plain is left out).
  std::vector<common::added::AddedColumn> addedColumns() const;
  // Adds a column (a second time changes nothing); returns the refusal, "" when added.
  QString addColumn(const common::added::AddedColumn& column);
  void removeColumn(const common::added::AddedColumn& column);
  // The added columns as the statements take them, read when the session was made and again
  // after every addColumn and removeColumn; valid as long as the session.
  const std::vector<host::RefColumn>& added() const { return added_; }
  // Every column a renumber rewrites: the built-in ones, then the added ones.
  std::vector<host::RefColumn> allColumns() const { return host::allColumns(added_); }

  // ---- The catalogue ---------------------------------------------------------------------------
  // What the database declares (db::readCatalogue): read at the first call on an open connection,
  // then kept until the connection is opened again (db::Database::serial). Column widths and types
  // are read from it; nothing a change decides by. Throws db::DbError.
  const db::Catalogue& catalogue();

  // ---- The journal ---------------------------------------------------------------------------
  journal::Journal& journal() { return journal_; }
  const journal::Journal& journal() const { return journal_; }
  // Opens the journal on the session's connection: "" or the text of what failed (journal::Journal::open).
  QString openJournal();

 private:
  db::Database& database_;
  Origin origin_;
  QString key_;
  common::added::Store store_;
  std::set<std::string> names_;  // the added columns' names, which added_ points into
  std::vector<host::RefColumn> added_;
  journal::Journal journal_;
  db::Catalogue catalogue_;
  quint64 catalogueSerial_ = 0;  // the connection's serial when catalogue_ was read; 0: not read
  void readAdded();
};

}  // namespace session
