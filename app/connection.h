#pragma once
// Module Connection: start-up procedure and the shared connection.
#include <QString>
#include <QStringList>

class QSettings;

namespace Connection {

struct Settings {
  QString Svr, UID, PWD, DBname;
};

// Reads Svr, then UID, then PWD, then DBname from application Tarnholm, section DBConfig
// (empty when missing). order, when given, receives the keys in the order they were read.
Settings ReadSettings(QStringList* order = nullptr);

// Opens the shared connection. A Svr of "sqlite:<path>" opens the embedded database at path.
// On failure shows "错误信息：" + description (title "信息文本", information icon) and returns false.
bool OpenSharedConnection(const QString& UID, const QString& PWD, const QString& DBname, const QString& Svr);

// Opens the shared connection without a word to the user; on failure returns false with the
// driver's description in *error (the command-line options report it themselves).
bool OpenQuietly(const Settings& settings, QString* error);

// The start-up procedure: settings, connection, main menu. Returns the process exit code
// to use when start-up failed (non-zero), or 0 when the menu is shown and the event loop should run.
int Main();

}  // namespace Connection
