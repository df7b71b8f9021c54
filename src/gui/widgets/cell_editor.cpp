#include "gui/widgets/cell_editor.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "gui/widgets/flex_grid.h"

namespace widgets {

CellEditor::CellEditor(QLineEdit* editor, FlexGrid* grid) : QObject(editor), editor_(editor), grid_(grid) {
  editor_->installEventFilter(this);
  QObject::connect(grid_, &FlexGrid::Scroll, this, [this] { close(); });
}

void CellEditor::open() {
  const QRect cell = grid_->cellRect(grid_->Row(), grid_->Col());
  editor_->setGeometry(cell.translated(grid_->pos()));
  opened_ = grid_->Text();
  editor_->setText(opened_);  // not modified: nothing typed yet
  editor_->show();
  editor_->raise();
  editor_->setFocus();
  editor_->selectAll();
}

void CellEditor::close() { editor_->hide(); }

bool CellEditor::isOpen() const { return editor_->isVisible(); }

bool CellEditor::changed() const { return isOpen() && editor_->text() != opened_; }

bool CellEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched != editor_) return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) break;
      close();
      return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
      // Nothing typed yet: the box is still the selected cell, and a click selects it again.
      if (editor_->isModified()) break;
      editor_->setFocus(Qt::MouseFocusReason);
      editor_->selectAll();
      return true;
    default: break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace widgets
