#pragma once
#include <QDir>
#include <QStandardPaths>
#include <QString>

namespace widgets::app_info {
// The tool's name as the user knows it: the title of its message boxes.
inline QString title() { return QStringLiteral("员工工号修改"); }
// The executable's name (command line, application name).
inline QString exeName() { return QStringLiteral("renumber"); }
// Where workbooks go unless the user picks another folder: the user's documents folder, or the
// home folder when there is no documents folder.
inline QString documentsFolder() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}
}  // namespace widgets::app_info
