#pragma once
// A modal progress dialog for long work done in slices on the GUI thread: what is being done,
// a bar and "取消". The work calls it between its slices; the call updates the dialog and lets
// the event loop run (the window is painted, the cancel button answers), and tells the work
// whether to go on.
#include <QString>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace widgets {

class ProgressDialog {
 public:
  // labelFormat holds %1 (done) and %2 (total), e.g. "正在修改第 %1 / %2 名员工"; while the total
  // is not known (0) the bar runs without an end and busyLabel is shown.
  ProgressDialog(QWidget* parent, const QString& labelFormat, const QString& busyLabel = QString());
  ~ProgressDialog();
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;

  // Updates the dialog and runs pending events; false once "取消" has been pressed. A negative
  // done says that the work is still inside one statement: the dialog stays as it is, the events
  // run, and the test script is not asked.
  bool step(int done, int total);
  // step() as the callback the operations take.
  std::function<bool(int, int)> callback() {
    return [this](int done, int total) { return step(done, total); };
  }
  bool canceled() const { return canceled_; }
  QProgressDialog* dialog() const { return dialog_.get(); }

  // Tests: decides in place of the user whether a step goes on (called after the dialog has been
  // updated, with the dialog's label text); an empty one gives the decision back to the user.
  using Script = std::function<bool(const QString& label, int done, int total)>;
  static void setScript(Script script);

 private:
  std::unique_ptr<QProgressDialog> dialog_;
  QString format_, busy_;
  bool canceled_ = false;
};

}  // namespace widgets
