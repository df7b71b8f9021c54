#include "core/session/session.h"

#include "db/database.h"
#include "core/common/database_key.h"

namespace session {

Session::Session(db::Database& database, Origin origin, QString settingsFile, QString journalFolder)
    : database_(database),
      origin_(std::move(origin)),
      key_(common::databaseKey(origin_.server, origin_.database)),
      store_(std::move(settingsFile), key_),
      journal_({std::move(journalFolder), origin_.server, origin_.database, origin_.login}, key_) {
  readAdded();
}

Session::~Session() { journal_.close(database_); }

preview::ScriptHeader Session::scriptHeader() const {
  preview::ScriptHeader header;
  header.server = origin_.server;
  header.database = origin_.database;
  header.login = origin_.login;
  return header;
}

std::vector<common::added::AddedColumn> Session::addedColumns() const { return store_.columns(); }

QString Session::addColumn(const common::added::AddedColumn& column) {
  const QString refusal = store_.add(column);
  readAdded();
  return refusal;
}

void Session::removeColumn(const common::added::AddedColumn& column) {
  store_.remove(column);
  readAdded();
}

void Session::readAdded() {
  const auto name = [this](const QString& text) {
    return reinterpret_cast<const char8_t*>(names_.insert(text.toStdString()).first->c_str());
  };
  // A list handed out before stays valid: the names are kept, only the list is replaced.
  std::vector<host::RefColumn> list;
  for (const common::added::AddedColumn& c : store_.columns()) list.push_back({name(c.table), name(c.column), u8""});
  added_ = std::move(list);
}

QString Session::openJournal() { return journal_.open(database_); }

const db::Catalogue& Session::catalogue() {
  const quint64 serial = database_.serial();
  if (serial == 0 || serial != catalogueSerial_) {
    catalogue_ = db::readCatalogue(database_);
    catalogueSerial_ = serial;
  }
  return catalogue_;
}

}  // namespace session
