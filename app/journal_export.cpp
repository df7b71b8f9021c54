#include "app/journal_export.h"

#include <QPushButton>

#include "app/show_export.h"
#include "journal/journal_window.h"
#include "ops/session/session.h"
#include "widgets/dialogs.h"
#include "widgets/shared_window.h"

using namespace Qt::StringLiterals;

void startJournal(ops::Session& session) {
  session.journal().setNotifier([](const QString& text) { ui::msg(nullptr, text, u"修改记录"_s, ui::Icon::Warning); });
  const QString problem = session.openJournal();
  if (!problem.isEmpty())
    ui::msg(nullptr, u"修改记录未能打开或补写：%1"_s.arg(problem), u"修改记录"_s, ui::Icon::Warning);
}

void connectJournalExport(frm修改记录& w) {
  QObject::connect(w.Command2, &QPushButton::clicked, &w, [&w] {
    showExport({documentsWorkbook(u"修改记录.XLS"_s), u"工号修改记录"_s, exportDate(QDate::currentDate()),
                u"修改记录"_s, w.MSFlexGrid1});
  });
}

void wireJournal() {
  shared_window::created<frm修改记录>() = [](frm修改记录& w) { connectJournalExport(w); };
}

QString journalListing(ops::Session& session, const QDate& since, const QString& number, QString* error) {
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
      text += u"尚未写入修改记录的修改（%1条）：\n"_s.arg(pending.size());
      for (const journal::Entry& e : pending) text += journal::entryText(e) + u'\n';
    }
  } catch (const std::runtime_error& e) {
    *error = QString::fromUtf8(e.what());
  }
  if (error->isEmpty() && !problem.isEmpty()) *error = problem;
  journal.close(session.database());
  return text;
}
