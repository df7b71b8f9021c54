#pragma once
// The single-employee renumbering window: find an employee, compose or type a new number,
// and rewrite the number in the register and every reference column in one transaction.
#include <QWidget>
#include <QtGlobal>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "core/preview/preview.h"
#include "core/single/single_ops.h"
#include "gui/single/single_events.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class FlexGrid;

namespace session {
class Session;
}

class frm员工Kestrune : public QWidget {
 public:
  // Works on session, which outlives the window.
  explicit frm员工Kestrune(session::Session& session, QWidget* parent = nullptr);

  // Step one: search.
  QGroupBox* Frame1 = nullptr;
  QLineEdit* Text1 = nullptr;  // employee number
  QLineEdit* Text2 = nullptr;  // name
  QLineEdit* Text3 = nullptr;  // identity-card number
  QPushButton* Command1 = nullptr;  // text search
  QPushButton* Command5 = nullptr;  // equal-numbers search
  QPushButton* Command2 = nullptr;  // opens the result list
  // 0..2 criterion labels, 3 several-hits notice, 4 employee info (Tag = current number),
  // 5 new-number label, 6 list caption.
  std::array<QLabel*, 7> Label1{};

  // Step two: new number.
  QGroupBox* Frame2 = nullptr;
  QLineEdit* Text4 = nullptr;  // new number
  QCheckBox* Check1 = nullptr;  // automatic numbering
  QPushButton* Command3 = nullptr;  // renumber
  QPushButton* Command6 = nullptr;  // impact preview (enabled with an employee selected and a new number typed)
  QPushButton* Command4 = nullptr;  // close

  // The result list panel.
  QFrame* Picture1 = nullptr;
  FlexGrid* MSFlexGrid1 = nullptr;

  // The window's signals (a computed preview: previewReady).
  SingleWindowEvents* events = new SingleWindowEvents(this);
  // Where the script is made, for its header (server, database, login); unset: the session's.
  std::function<preview::ScriptHeader()> scriptOrigin;

  // Composition state (set by ticking Check1, read by the renumber).
  qint16 ruleCode() const { return ruleCode_; }
  QString serialPattern() const { return serialPattern_; }
  QString categoryCode() const { return categoryCode_; }
  QString ruleRowId() const { return ruleRowId_; }
  QString numberPrefix() const { return numberPrefix_; }
  qint32 nextSerial() const { return nextSerial_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  session::Session& session_;
  qint16 ruleCode_ = 0;
  QString serialPattern_;
  QString categoryCode_;
  QString ruleRowId_;
  QString numberPrefix_;
  qint32 nextSerial_ = 0;

  void buildControls();
  void placeListPanel();

  // Search and selection.
  void searchStart();
  void textSearch();
  void equalNumbersSearch();
  // Fills the list with the rows a search returns and acts on the number of hits; false after a
  // database error (reported, window left in the search-start state).
  bool fillList(const std::function<std::vector<single::EmployeeRow>()>& search);
  void selectRow(int row);
  // The info label's caption and Tag from a list row.
  void showSelection(int row);
  void listClicked();

  // Composition.
  void check1Click();
  void compose();
  void composeFailed();
  void untick();
  // After a renumber: the box unticked with Text4 kept, the serial and rule row forgotten.
  void forgetComposition();

  // Renumber.
  // The new number of Text4 as it will be written (common::typedNumber), shown in Text4; nullopt,
  // after saying why, when it is empty or holds a character a number cannot.
  std::optional<QString> newNumberTyped();
  void renumber();
  void previewRenumber();
};
