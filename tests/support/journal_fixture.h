#pragma once
// The single renumber's small organisation with the harness session's journal open (in the test's
// own folder; the session's login is "sa").
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "db/database.h"
#include "core/batch/batch_sql.h"
#include "core/batch/batch_ops.h"
#include "core/journal/journal.h"
#include "core/undo/undo_ops.h"
#include "core/single/single_sql.h"
#include "core/single/single_ops.h"
#include "tests/support/single_fixture.h"

class JournalOrganisation : public SingleOrganisation {
 protected:
  QString rowId;
  journal::Journal& journal() { return session.journal(); }
  void SetUp() override {
    SingleOrganisation::SetUp();
    seedEveryColumn();
    addRule(0, "'0000'");
    rowId = addRuleRow("NULL", "NULL", "NULL", "NULL", "2");
    journal().setNotifier({});
    journal().takeNotice();
    ASSERT_EQ(session.openJournal(), "");
    h.clearStatements();
  }
  void TearDown() override { journal().close(database); }
  std::vector<journal::Entry> all() { return journal().entries(); }
  // The statements on the journal file attached to the host (SQLite's own, not the catalogue's),
  // and the others: those a change sends to the host database.
  static bool onJournalFile(const QString& sql) { return db::embeddedOnly(sql) && !sql.contains("sqlite_master"); }
  QStringList journalStatements() {
    QStringList out;
    for (const QString& s : h.statements())
      if (onJournalFile(s)) out << s;
    return out;
  }
  QStringList hostStatements() {
    QStringList out;
    for (const QString& s : h.statements())
      if (!onJournalFile(s)) out << s;
    return out;
  }
  // Makes the journal file refuse every new entry (a trigger), or take them again.
  void refuseJournal(bool refuse) {
    {
      QSqlDatabase d = QSqlDatabase::addDatabase("QSQLITE", "refuse");
      d.setDatabaseName(journal().file());
      ASSERT_TRUE(d.open());
      ASSERT_TRUE(QSqlQuery(d).exec(refuse ? "CREATE TRIGGER refuse BEFORE INSERT ON entries BEGIN "
                                             "SELECT RAISE(ABORT, 'journal refused'); END"
                                           : "DROP TRIGGER refuse"));
      d.close();
    }
    QSqlDatabase::removeDatabase("refuse");
  }
};
