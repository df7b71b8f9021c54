#include "tests/support/scripted_dialogs.h"

#include <QPointer>
#include <QWidget>

namespace widgets {

void ScriptedDialogs::message(QWidget*, const QString& text, const QString& title, Icon icon) {
  shown.append({text, title, icon, false});
}

bool ScriptedDialogs::question(QWidget*, const QString& text, const QString& title) {
  shown.append({text, title, Icon::None, true});
  if (whileAsking) whileAsking();
  return answers.isEmpty() ? true : answers.takeFirst();
}

int ScriptedDialogs::choice(QWidget*, const QString& text, const QString& title, const QStringList& buttons) {
  shown.append({text, title, Icon::None, true});
  choiceButtons.append(buttons);
  if (whileAsking) whileAsking();
  return choices.isEmpty() ? 0 : choices.takeFirst();
}

QString ScriptedDialogs::chooseFile(QWidget*, const QString& initialDir, const QString& filter) {
  fileDialogDirs.append(initialDir);
  fileDialogFilters.append(filter);
  return files.isEmpty() ? QString() : files.takeFirst();
}

QString ScriptedDialogs::chooseSaveFile(QWidget* parent, const QString& initialPath, const QString& filter) {
  ++saveDialogs;
  return chooseFile(parent, initialPath, filter);
}

void ScriptedDialogs::showModal(QWidget* window) {
  if (!window) return;
  QPointer<QWidget> guard(window);
  ++modalShows;
  window->show();
  if (!modalActions.isEmpty()) {
    const std::function<void(QWidget*)> action = modalActions.takeFirst();
    if (action) action(window);
  }
  if (guard && guard->isVisible()) guard->close();
  // A window that refuses to close ends its modal show all the same.
  if (guard && guard->isVisible()) guard->hide();
}

}  // namespace widgets
