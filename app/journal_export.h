#pragma once
// The change journal at start-up and its window's "导出": the journal of the connected server and
// database is opened (entries left pending are written), a failed journal write is told in a
// message, and the listed entries go to the export window.
#include <QDate>
#include <QString>

#include "app/connection.h"
#include "ops/journal/journal.h"

class frm修改记录;

// The journal of the settings' server and database, in the user's data folder.
journal::Context journalContext(const Connection::Settings& settings);
// Opens the journal of settings on the shared connection and tells the user what failed.
void startJournal(const Connection::Settings& settings);
void connectJournalExport(frm修改记录& w);
// Wires every journal window made from now on.
void wireJournal();

// `--journal`: the entries (since a day, of a number) as text; "" when there are none.
QString journalListing(const Connection::Settings& settings, const QDate& since, const QString& number, QString* error);
