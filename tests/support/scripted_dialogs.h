#pragma once
// Dialogs for tests: every message and question is recorded and answered from queues.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "gui/widgets/dialogs.h"

namespace widgets {

// Scripted dialogs for tests: record everything, answer from queues.
class ScriptedDialogs : public Dialogs {
 public:
  struct Shown {
    QString text, title;
    Icon icon;
    bool isQuestion;
  };
  void message(QWidget* parent, const QString& text, const QString& title, Icon icon) override;
  bool question(QWidget* parent, const QString& text, const QString& title) override;
  // Recorded as a question; answered from choices.
  int choice(QWidget* parent, const QString& text, const QString& title, const QStringList& buttons) override;
  QString chooseFile(QWidget* parent, const QString& initialDir, const QString& filter) override;
  // Answered as chooseFile() (the same queues), and counted.
  QString chooseSaveFile(QWidget* parent, const QString& initialPath, const QString& filter) override;
  // Runs the next queued modal action on the window (if any), then closes it when it is still open.
  void showModal(QWidget* window) override;

  QList<Shown> shown;  // every message and question, in order
  QList<bool> answers;  // next answers (unqueued question: Yes)
  QList<int> choices;  // next buttons pressed in a choice (unqueued: the first)
  QList<QStringList> choiceButtons;  // the buttons each choice offered
  std::function<void()> whileAsking;  // runs while each question is on the screen (others at work meanwhile)
  QStringList files;  // next file dialog results (unqueued: "")
  QStringList fileDialogDirs, fileDialogFilters;  // what each file dialog was given
  int saveDialogs = 0;  // how many of them were save dialogs
  QList<std::function<void(QWidget*)>> modalActions;  // next modal shows
  int modalShows = 0;  // how many windows were shown modally
};

}  // namespace widgets
