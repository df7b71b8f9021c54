#pragma once
// Every message box, Yes/No question, file dialog and modal show of the tool goes through
// this interface: QMessageBox/QFileDialog in production, a scripted stand-in in tests.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

namespace widgets {

enum class Icon { None, Information, Warning, Critical, Question };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A notice with an OK button only.
  virtual void message(QWidget* parent, const QString& text, const QString& title, Icon icon) = 0;
  // A question with Yes and No buttons; true for Yes.
  virtual bool question(QWidget* parent, const QString& text, const QString& title) = 0;
  // The same with No as the default button (Enter answers No): before a change that may not be
  // wanted. Answered like question() where a stand-in does not tell the two apart.
  virtual bool cautiousQuestion(QWidget* parent, const QString& text, const QString& title) {
    return question(parent, text, title);
  }
  // A question with these buttons, the first the default one and the last the one Esc presses;
  // returns the index of the button pressed. Answered through question() (Yes the first button,
  // No the last) where a stand-in does not offer it.
  virtual int choice(QWidget* parent, const QString& text, const QString& title, const QStringList& buttons) {
    return question(parent, text, title) ? 0 : int(buttons.size()) - 1;
  }
  // A file dialog; returns the chosen path, "" when cancelled.
  virtual QString chooseFile(QWidget* parent, const QString& initialDir, const QString& filter) = 0;
  // A save dialog ("保存"; an existing file is overwritten only when the user agrees): the path
  // to write, "" when cancelled. initialPath may name the suggested file. Answered like
  // chooseFile() where a stand-in does not tell the two apart.
  virtual QString chooseSaveFile(QWidget* parent, const QString& initialPath, const QString& filter) {
    return chooseFile(parent, initialPath, filter);
  }
  // Shows window modally and returns when it has been closed.
  virtual void showModal(QWidget* window) = 0;

  // The installed dialogs (production ones unless a test installed others).
  static Dialogs& current();
  static void install(std::unique_ptr<Dialogs> dialogs);
};

// Shorthands used by the windows.
// A notice with no icon and the application's title.
void msg(QWidget* parent, const QString& text);
// A notice with the given title and icon.
void msg(QWidget* parent, const QString& text, const QString& title, Icon icon);
// A Yes/No question with the application's title.
bool ask(QWidget* parent, const QString& text);
// A Yes/No question with the application's title and No as the default button.
bool askDefaultNo(QWidget* parent, const QString& text);
// A question with these buttons and the application's title; the index of the button pressed.
int choose(QWidget* parent, const QString& text, const QStringList& buttons);
// Shows the database's error text (a failed statement) with the application's title.
void dbError(QWidget* parent, const QString& databaseText);

// The text a message box shows of text, so that no text pushes its buttons off the screen: at most
// maxLines lines, a line of more than lineChars characters counted once per lineChars (the box
// wraps it). A longer text keeps its first lines and its last line (the question, or the closing
// sentence), with the rest line of every long list (text::boundedList: "……另有K项") between them for
// the K lines left out, a rest line the text had counted in; a line too long for what is left of
// the box is cut and ends in "……". A text that fits is returned as it is.
QString boundedText(const QString& text, int maxLines, int lineChars);
// At most this many lines in a message box; the whole of a longer text is in its details.
inline constexpr int kBoxLines = 20;

// A VB-style file filter ("Excel Flie *.xls|*.xls|All flie *.*|*.*": description and
// patterns alternating) in Qt's form ("Excel Flie *.xls (*.xls);;All flie *.* (*.*)").
QString qtFileFilter(const QString& vbFilter);

// Production dialogs: QMessageBox, QFileDialog, a modal window loop. A box is wide enough for its
// title, and a text longer than kBoxLines lines (or than the screen holds) is shown bounded by
// boundedText(), the whole text behind the box's details button, in a scrolling field.
class QtDialogs : public Dialogs {
 public:
  void message(QWidget* parent, const QString& text, const QString& title, Icon icon) override;
  bool question(QWidget* parent, const QString& text, const QString& title) override;
  bool cautiousQuestion(QWidget* parent, const QString& text, const QString& title) override;
  int choice(QWidget* parent, const QString& text, const QString& title, const QStringList& buttons) override;
  QString chooseFile(QWidget* parent, const QString& initialDir, const QString& filter) override;
  QString chooseSaveFile(QWidget* parent, const QString& initialPath, const QString& filter) override;
  void showModal(QWidget* window) override;
};

}  // namespace widgets
