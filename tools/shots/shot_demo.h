#pragma once
// What every picture program starts with: the tests' scripted dialogs, a demo database in a
// temporary folder, its connection and the session a window works on.
#include <QApplication>
#include <QTemporaryDir>

#include "db/database.h"
#include "tools/demo/demo_data.h"
#include "core/session/session.h"

namespace shots {

// Lets the window lay itself out and paint.
inline void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

struct Demo {
  QTemporaryDir dir;
  db::Database database;
  session::Session session{database,
                           {QStringLiteral("sqlite:demo"), QString(), QStringLiteral("sa")},
                           dir.filePath(QStringLiteral("renumber.ini")),
                           dir.filePath(QStringLiteral("journal"))};
  // Creates the demo database of the given scale; "" or why it could not be made.
  QString create(const demo::Scale& scale = demo::Scale()) {
    QString error;
    if (!demo::createDatabase(database, dir.filePath(QStringLiteral("demo.db")), scale, &error)) return error;
    return QString();
  }
};

}  // namespace shots
