#pragma once
// The change journal at start-up and its window's "导出": the journal of the connected server and
// database is opened (entries left pending are written), a failed journal write is told in a
// message, and the listed entries go to the export window.
#include <QDate>
#include <QString>

#include "core/journal/journal.h"

class frm修改记录;
namespace session {
class Session;
}

// Opens the session's journal and tells the user what failed; a failed write after a committed
// change is told in a message.
void startJournal(session::Session& session);
// Wires one journal window's "导出" (app/wiring.h: every journal window's).
void connectJournalExport(frm修改记录& w);

// `--journal`: the entries of the session's journal (since a day, of a number) as text; "" when
// there are none. The journal is closed again.
QString journalListing(session::Session& session, const QDate& since, const QString& number, QString* error);
