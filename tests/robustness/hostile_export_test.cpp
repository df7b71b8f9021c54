// Hostile input in the export window's four boxes: the workbook path, the two titles and the
// sheet name. Every workbook written is read back with an independent reader.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <memory>

#include "gui/export/export_window.h"
#include "calc/sheet_name.h"
#include "tests/support/xls_reader.h"
#include "tests/robustness/robust_support.h"
#include "tests/support/scripted_dialogs.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/flex_grid.h"

using namespace robust;

namespace {

std::unique_ptr<FlexGrid> oldNewTable() {
  auto grid = std::make_unique<FlexGrid>();
  const QList<QStringList> rows{{u("序"), u("原工号"), u("新工号"), u("姓名")},
                                {u("1"), u("0012"), u("10012"), u("张三")}};
  grid->setCols(4);
  grid->setRows(2);
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 4; ++j) grid->setTextMatrix(i, j, rows[i][j]);
  return grid;
}

class HostileExport : public ::testing::Test {
 protected:
  Harness h;
  QString cwd;
  void SetUp() override {
    frm输出到Excel文件::openWorkbook = [](const QString&) { return true; };
    cwd = QDir::currentPath();
    QDir::setCurrent(h.dir());  // a relative path lands in the test's own folder
  }
  void TearDown() override {
    QDir::setCurrent(cwd);
    frm输出到Excel文件::openWorkbook = nullptr;
  }
  // Fills the boxes (typed or pasted) and presses "输出"; true when the window closed.
  bool output(FlexGrid* grid, const QString& path, const QString& title1, const QString& title2, const QString& sheet,
              Entry how) {
    auto& w = h.open<frm输出到Excel文件>();
    w.SourceGrid = grid;
    enter(w.Text1[0], path, how);
    enter(w.Text1[1], title1, how);
    enter(w.Text1[3], title2, how);
    enter(w.Text1[2], sheet, how);
    QPointer<frm输出到Excel文件> guard(&w);
    w.Command2->click();
    return !guard || !guard->isVisible();
  }
};

// The hostile text as title 1, title 2, sheet name and file name all at once: the workbook holds
// it exactly, or the export is refused with its message and leaves no file.
TEST_F(HostileExport, EveryBoxAtOnce) {
  auto grid = oldNewTable();
  forCorpusEntries(u("every box"), [&](const Hostile& hostile, Entry how, Problems& p) {
    const QString& v = hostile.text;
    const QString path = h.dir() + u("/") + v + u(".xls");
    h.dialogs().shown.clear();
    const bool done = output(grid.get(), path, v, v + u("2"), v, how);
    // A file name longer than the file system takes, or a sheet name Excel refuses, can't be used.
    const bool usable = calc::sheetNameProblem(v).isEmpty() && QFileInfo(path).fileName().toUtf8().size() <= 255;
    if (usable) {
      p.expect(done, u("not exported: ") + h.messages().join(u(" / ")));
      const xls::Book book = xls::read(path);
      p.same(QString(), book.error, u("reading back"));
      const xls::Sheet* s = book.sheet(v);
      p.expect(s != nullptr, u("no sheet of that name among ") + book.names().join(u(",")));
      if (s) {
        p.same(v, s->at(1, 1).value, u("title 1"));
        p.same(v + u("2"), s->at(2, 1).value, u("title 2"));
        p.same(u("10012"), s->at(4, 3).value, u("table"));
      }
    } else {
      p.expect(!done, u("the window closed"));
      p.same(u("输出到Execl失败"), h.messages().join(u(" / ")), u("messages"));
      p.expect(!QFileInfo::exists(path), u("a file was left"));
    }
    h.open<frm输出到Excel文件>().close();
  });
  EXPECT_EQ(QDir(h.dir()).entryList(QDir::Files | QDir::Hidden).filter(u(".~lock")), QStringList());
}

// A path of blanks only names no file: it is refused like an empty one, and nothing is written
// anywhere.
TEST_F(HostileExport, APathOfBlanksOnly) {
  auto grid = oldNewTable();
  const QStringList before = QDir(h.dir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  const bool done = output(grid.get(), u("   "), u("标题"), u("2024-03-07"), u("工程"), Entry::Pasted);
  const QStringList after = QDir(h.dir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  EXPECT_FALSE(done);
  if (after != before) {
    const QFileInfo left(h.dir() + u("/   "));
    ADD_FAILURE()
        << "a path of blanks only is taken as a relative file name: the export makes "
           "\"   \" in the working folder and fails later, leaving it (gui/export/export_window.cpp, To_Execl: "
           "treat a path that is empty after trimming as empty, \"请确定输出的文件名\"); left: "
        << (left.isDir() ? "a folder" : "a file of ") << left.size()
        << " bytes; messages: " << h.messages().join(u(" / ")).toStdString();
  }
  EXPECT_EQ(h.messages(), (QStringList{u("请确定输出的文件名"), u("输出到Execl失败")}));
}

}  // namespace
