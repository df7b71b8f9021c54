#include "app/journal_export.h"

#include <QPushButton>

#include "app/show_export.h"
#include "gui/journal/journal_window.h"
#include "core/session/session.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/shared_window.h"

void startJournal(session::Session& session) {
  session.journal().setNotifier(
      [](const QString& text) { widgets::msg(nullptr, text, QStringLiteral("修改记录"), widgets::Icon::Warning); });
  const QString problem = session.openJournal();
  if (!problem.isEmpty())
    widgets::msg(nullptr, QStringLiteral("修改记录未能打开或补写：%1").arg(problem), QStringLiteral("修改记录"),
                 widgets::Icon::Warning);
}

void connectJournalExport(frm修改记录& w) {
  QObject::connect(w.Command2, &QPushButton::clicked, &w, [&w] {
    showExport({documentsWorkbook(QStringLiteral("修改记录.XLS")), QStringLiteral("工号修改记录"),
                exportDate(QDate::currentDate()), QStringLiteral("修改记录"), w.MSFlexGrid1->table()});
  });
}

QString journalListing(session::Session& session, const QDate& since, const QString& number, QString* error) {
  journal::Journal& journal = session.journal();
  const QString problem = session.openJournal();
  QString text;
  try {
    journal::Filter f;
    f.from = since;
    f.number = number;
    for (const journal::Entry& e : journal.entries(f)) text += journal::entryText(e) + u'\n';
    const std::vector<journal::Entry> pending = journal.pendingEntries(f);
    if (!pending.empty()) {
      text += QStringLiteral("尚未写入修改记录的修改（%1条）：\n").arg(pending.size());
      for (const journal::Entry& e : pending) text += journal::entryText(e) + u'\n';
    }
  } catch (const std::runtime_error& e) {
    *error = QString::fromUtf8(e.what());
  }
  if (error->isEmpty() && !problem.isEmpty()) *error = problem;
  journal.close(session.database());
  return text;
}
