// The export window against the real spreadsheet engine (a headless LibreOffice); every written
// workbook is read back with an independent reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "calc/calc_engine.h"
#include "calc/office_control.h"
#include "gui/export/export_window.h"
#include "calc/xls_active_sheet.h"
#include "tests/support/temporary_home.h"
#include "tests/support/xls_reader.h"
#include "tests/support/harness.h"
#include "gui/widgets/app_info.h"
#include "tests/support/scripted_dialogs.h"
#include "gui/widgets/progress.h"

using ::testing::ElementsAre;

namespace {

using Rows = QList<QStringList>;

// A source grid as the batch window hands it over: header row, fixed first column, and a column
// the grid shows with width 0.
std::unique_ptr<FlexGrid> makeGrid(const Rows& rows, int hiddenCol = -1) {
  auto grid = std::make_unique<FlexGrid>();
  grid->setCols(int(rows.first().size()));
  grid->setRows(int(rows.size()));
  for (int i = 0; i < rows.size(); ++i)
    for (int j = 0; j < rows[i].size(); ++j) grid->setTextMatrix(i, j, rows[i][j]);
  if (hiddenCol >= 0) grid->setColWidth(hiddenCol, 0);
  return grid;
}

const Rows kTable = {
    {"序", "原工号  ", "新工号  ", "姓名  ", "部门        ", "岗位      "},
    {"1", "0012", "10012", "张三", "工程部", "电工"},
    {"2", "0013", "10013", "李四", "工程部", "水工"},
};

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Lock files of the office in folder.
QStringList lockFiles(const QString& folder) {
  return QDir(folder).entryList({".~lock.*"}, QDir::Files | QDir::Hidden);
}

bool processGone(long pid) { return kill(pid_t(pid), 0) == -1 && errno == ESRCH; }

class ExportWindow : public ::testing::Test {
 protected:
  Harness h;
  QStringList shown;  // workbooks handed to the desktop's spreadsheet application

  void SetUp() override {
    frm输出到Excel文件::openWorkbook = [this](const QString& path) {
      shown.append(path);
      return true;
    };
  }
  void TearDown() override { frm输出到Excel文件::openWorkbook = nullptr; }

  // The shared window with its boxes filled as a caller fills them.
  frm输出到Excel文件& window(FlexGrid* grid, const QString& path, const QString& sheet,
                             const QString& title1 = "工程类员工新旧工号对照表", const QString& title2 = "2024-03-07") {
    auto& w = h.open<frm输出到Excel文件>();
    w.SourceGrid = grid;
    w.Text1[0]->setText(path);
    w.Text1[1]->setText(title1);
    w.Text1[3]->setText(title2);
    w.Text1[2]->setText(sheet);
    return w;
  }

  // Presses "输出"; true when the window closed (the export succeeded).
  bool output(frm输出到Excel文件& w) {
    QPointer<frm输出到Excel文件> guard(&w);
    w.Command2->click();
    return !guard || !guard->isVisible();
  }

  bool exportGrid(const Rows& rows, const QString& path, const QString& sheet, bool showAfter = true) {
    auto grid = makeGrid(rows);
    auto& w = window(grid.get(), path, sheet);
    w.Check1->setChecked(showAfter);
    return output(w);
  }
};

TEST_F(ExportWindow, OpensWithItsControlsAndKeepsCheckMarksInItsOwnGrid) {
  auto& w = h.open<frm输出到Excel文件>();
  EXPECT_EQ(w.windowTitle(), "输出到Excel文件");
  EXPECT_EQ(w.Label1[0]->text(), "Excel文件路径/文件名");
  EXPECT_EQ(w.Label1[1]->text(), "标题1");
  EXPECT_EQ(w.Label1[2]->text(), "Excel表名");
  EXPECT_EQ(w.Label1[3]->text(), "标题2");
  EXPECT_EQ(w.Check1->text(), "启动Excel");
  EXPECT_TRUE(w.Check1->isChecked());
  EXPECT_EQ(w.Command2->text(), "输出");
  EXPECT_EQ(w.Command3->text(), "取消");
  EXPECT_TRUE(w.Command1->text().isEmpty());
  EXPECT_FALSE(w.Command1->icon().isNull());
  EXPECT_EQ(w.Grid1->Rows(), 2);
  EXPECT_EQ(w.Grid1->Cols(), 6);
  EXPECT_FALSE(w.Grid1->isVisible());  // no grid to export, no columns to show

  w.Grid1->clickCell(1, 3);
  EXPECT_EQ(w.Grid1->TextMatrix(1, 3), "√");
  EXPECT_TRUE(w.Grid1->cellAlignment(1, 3) & Qt::AlignHCenter);
  w.Grid1->clickCell(1, 5);
  EXPECT_EQ(w.Grid1->TextMatrix(1, 5), "√");
  w.Grid1->dblClickCell(1, 3);
  EXPECT_EQ(w.Grid1->TextMatrix(1, 3), "");
  EXPECT_EQ(w.Grid1->TextMatrix(1, 5), "√");

  QPointer<frm输出到Excel文件> guard(&w);
  w.Command3->click();
  EXPECT_TRUE(!guard || !guard->isVisible());
  EXPECT_TRUE(h.messages().isEmpty());
}

TEST_F(ExportWindow, BrowseStartsInTheDocumentsFolderAndTakesTheChosenFile) {
  const TemporaryHome home;
  auto& w = h.open<frm输出到Excel文件>();
  w.Text1[0]->setText("/old/path.xls");
  h.chooseFile(h.dir() + "/选择的.xls");
  w.Command1->click();
  EXPECT_EQ(w.Text1[0]->text(), h.dir() + "/选择的.xls");
  h.chooseFile("");  // cancelled
  w.Command1->click();
  EXPECT_EQ(w.Text1[0]->text(), h.dir() + "/选择的.xls");
  EXPECT_THAT(h.dialogs().fileDialogDirs, ElementsAre(home.documents(), home.documents()));
  EXPECT_EQ(h.dialogs().fileDialogFilters.value(0), "Excel Flie *.xls|*.xls|All flie *.*|*.*");
  EXPECT_TRUE(h.messages().isEmpty());
}

TEST(ExportWindowBrowse, AFailingFileDialogReportsNumberAndDescription) {
  struct FailingDialogs : widgets::ScriptedDialogs {
    QString chooseFile(QWidget*, const QString&, const QString&) override {
      throw std::system_error(std::make_error_code(std::errc::permission_denied), "cannot list the folder");
    }
  };
  auto dialogs = std::make_unique<FailingDialogs>();
  FailingDialogs* seen = dialogs.get();
  widgets::Dialogs::install(std::move(dialogs));
  {
    frm输出到Excel文件 w;
    w.Text1[0]->setText("/kept.xls");
    w.Command1->click();
    EXPECT_EQ(w.Text1[0]->text(), "/kept.xls");
    ASSERT_EQ(seen->shown.size(), 1);
    EXPECT_EQ(seen->shown[0].text,
              QString("%1 cannot list the folder: %2")
                  .arg(EACCES)
                  .arg(QString::fromStdString(std::make_error_code(std::errc::permission_denied).message())));
    EXPECT_EQ(seen->shown[0].title, "员工工号修改");
    EXPECT_EQ(seen->shown[0].icon, widgets::Icon::Warning);
  }
  widgets::Dialogs::install(nullptr);
}

TEST_F(ExportWindow, WritesTitlesAndTheWholeGridAsTextIntoANewWorkbook) {
  const QString path = h.dir() + "/工程类员工新旧工号对照表.XLS";
  auto grid = makeGrid(kTable, 4);  // "部门" shown with width 0: exported all the same
  auto& w = window(grid.get(), path, "工程");
  ASSERT_TRUE(output(w));
  EXPECT_TRUE(h.messages().isEmpty());
  EXPECT_THAT(shown, ElementsAre(path));  // "启动Excel" is ticked when the window opens

  const xls::Book book = xls::read(path);
  ASSERT_EQ(book.error, "");
  // The new workbook holds the named sheet alone and opens on it.
  EXPECT_THAT(book.names(), ElementsAre("工程"));
  EXPECT_EQ(book.activeSheet, 0);
  EXPECT_TRUE(book.sheets[0].selected);
  const xls::Sheet& s = *book.sheet("工程");
  ASSERT_EQ(s.rows, 5);
  ASSERT_EQ(s.cols, 6);

  EXPECT_EQ(s.at(1, 1).value, "工程类员工新旧工号对照表");
  EXPECT_EQ(s.at(2, 1).value, "2024-03-07");
  EXPECT_EQ(s.at(2, 1).type, 1);  // the date title stays the text of its box
  EXPECT_THAT(s.merges, ElementsAre(xls::Merge{0, 1, 0, 6}, xls::Merge{1, 2, 0, 6}));
  for (int col = 1; col <= 6; ++col) {
    for (int row = 1; row <= 2; ++row) {
      EXPECT_EQ(s.at(row, col).horizontal, 2) << row << "," << col;  // centre
      EXPECT_EQ(s.at(row, col).vertical, 1) << row << "," << col;  // middle
      EXPECT_EQ(s.at(row, col).top + s.at(row, col).left, 0) << "titles have no borders";
    }
    EXPECT_EQ(s.at(1, col).fontPoints, 18);
    EXPECT_EQ(s.at(2, col).fontPoints, 12);
  }
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 6; ++j) {
      const xls::Cell& c = s.at(i + 3, j + 1);
      EXPECT_EQ(c.type, 1) << i << "," << j;  // text, "0012" keeps its zeros
      // No character appended; the header without the blanks that pad it on screen.
      EXPECT_EQ(c.value, i == 0 ? QString(kTable[i][j]).remove(QRegularExpression(" +$")) : kTable[i][j]);
      EXPECT_EQ(c.format, "@");
      EXPECT_EQ(c.fontPoints, 10.5);
      EXPECT_EQ(c.top, 1);
      EXPECT_EQ(c.bottom, 1);
      EXPECT_EQ(c.left, 1);
      EXPECT_EQ(c.right, 1);
    }
  }
  // Fitted widths: the wide department header makes its column wider than the "序" column.
  EXPECT_GT(s.columnWidths[4], s.columnWidths[0]);
  // Row heights follow the font sizes; the table rows all have the height of 10.5-point text.
  EXPECT_GT(s.rowHeights[0], s.rowHeights[1]);
  EXPECT_GT(s.rowHeights[1], s.rowHeights[2]);
  EXPECT_GE(s.rowHeights[2], 10.5);
  EXPECT_EQ(s.rowHeights[3], s.rowHeights[2]);
  EXPECT_EQ(s.rowHeights[4], s.rowHeights[2]);
  EXPECT_TRUE(lockFiles(h.dir()).isEmpty());
  EXPECT_EQ(calc::office::openDocumentCount(), 0);
}

TEST_F(ExportWindow, AnExistingSheetIsClearedAndTheOtherSheetsStayAsTheyWere) {
  const QString path = h.dir() + "/对照表.xls";
  Rows big;
  for (int i = 0; i < 8; ++i) {
    QStringList row;
    for (int j = 0; j < 9; ++j) row.append(QString("旧%1-%2").arg(i).arg(j));
    big.append(row);
  }
  ASSERT_TRUE(exportGrid(big, path, "工程"));
  ASSERT_TRUE(exportGrid({{"甲", "乙"}, {"1", "2"}}, path, "其他"));
  ASSERT_TRUE(exportGrid({{"丙"}, {"3"}}, path, "第三"));
  const xls::Book before = xls::read(path);
  ASSERT_EQ(before.error, "");
  ASSERT_THAT(before.names(), ElementsAre("工程", "其他", "第三"));
  ASSERT_EQ(before.sheet("工程")->rows, 10);
  EXPECT_EQ(before.activeSheet, 2);  // the sheet added last was written last

  // Writing into an existing workbook is asked first; No writes nothing and says so.
  const QString question = frm输出到Excel文件::existingWorkbookQuestion(path, "工程");
  EXPECT_EQ(question, "工作簿已存在：" + path +
                          "\n是否把表格写入其中的工作表“工程”？同名工作表原有的内容将被替换，其他工作表保持不变。");
  const QByteArray unchanged = contents(path);
  h.dialogs().shown.clear();
  h.answer(false);
  EXPECT_FALSE(exportGrid(kTable, path, "工程"));
  EXPECT_THAT(h.messages(), ElementsAre(question, "已取消输出，工作簿没有修改"));
  EXPECT_EQ(contents(path), unchanged);

  shown.clear();
  h.dialogs().shown.clear();
  ASSERT_TRUE(exportGrid(kTable, path, "工程", false));
  EXPECT_TRUE(shown.isEmpty()) << "\"启动Excel\" unticked shows nothing";
  EXPECT_THAT(h.messages(), ElementsAre(question, "工作簿已保存：" + path));
  const xls::Book after = xls::read(path);
  ASSERT_EQ(after.error, "");
  EXPECT_EQ(after.names(), before.names());  // the sheet was found, not added again
  // It opens on the sheet written, the only one selected.
  EXPECT_EQ(after.activeSheet, 0);
  EXPECT_TRUE(after.sheets[0].selected);
  EXPECT_FALSE(after.sheets[1].selected || after.sheets[2].selected);
  const xls::Sheet& s = *after.sheet("工程");
  EXPECT_EQ(s.rows, 5);  // nothing of the larger old table is left, not even a border
  EXPECT_EQ(s.cols, 6);
  EXPECT_EQ(s.at(5, 2).value, "0013");
  EXPECT_THAT(s.merges, ElementsAre(xls::Merge{0, 1, 0, 6}, xls::Merge{1, 2, 0, 6}));
  for (const QString& other : {QString("其他"), QString("第三")}) {
    SCOPED_TRACE(other.toStdString());
    const xls::Sheet& was = *before.sheet(other);
    const xls::Sheet& is = *after.sheet(other);
    EXPECT_EQ(is.dump, was.dump);  // contents, fonts, borders, alignment, merges
    ASSERT_EQ(is.columnWidths.size(), was.columnWidths.size());
    for (int c = 0; c < was.columnWidths.size(); ++c)  // the file's width units round on each save
      EXPECT_NEAR(is.columnWidths[c], was.columnWidths[c], 4);
  }
  EXPECT_TRUE(lockFiles(h.dir()).isEmpty());

  // The active sheet is marked in the file's bytes: only those flags change.
  const QByteArray written = contents(path);
  QByteArray bytes = written;
  QString error;
  ASSERT_TRUE(calc::setActiveXlsSheet(bytes, 1, &error)) << error.toStdString();
  EXPECT_EQ(bytes.size(), written.size());
  const QString copy = h.dir() + "/copy.xls";
  {
    QFile f(copy);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  const xls::Book switched = xls::read(copy);
  ASSERT_EQ(switched.error, "");
  EXPECT_EQ(switched.activeSheet, 1);
  EXPECT_FALSE(switched.sheets[0].selected);
  EXPECT_TRUE(switched.sheets[1].selected);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(switched.sheets[k].dump, after.sheets[k].dump) << k;
  // A sheet the workbook lacks, or bytes of no workbook, are refused and left as they were.
  bytes = written;
  EXPECT_FALSE(calc::setActiveXlsSheet(bytes, 3, &error));
  EXPECT_EQ(bytes, written);
  EXPECT_EQ(error, "no sheet 3");
  QByteArray text("序,原工号\n1,0012\n");
  EXPECT_FALSE(calc::setActiveXlsSheet(text, 0, &error));
  EXPECT_EQ(text, QByteArray("序,原工号\n1,0012\n"));
  EXPECT_EQ(error, "not a compound file (no Excel 97 workbook)");
}

TEST_F(ExportWindow, WithoutASpreadsheetApplicationTheUserIsToldAndTheExportIsDone) {
  frm输出到Excel文件::openWorkbook = [this](const QString& path) {
    shown.append(path);
    return false;  // nothing on the desktop opens .xls files
  };
  const QString path = h.dir() + "/对照表.xls";
  ASSERT_TRUE(exportGrid(kTable, path, "工程"));  // the window closed: done
  EXPECT_THAT(shown, ElementsAre(path));
  EXPECT_THAT(h.messages(), ElementsAre("工作簿已保存，但无法启动电子表格程序打开它：" + path));
  EXPECT_THAT(h.titles(), ElementsAre("员工工号修改"));
  const xls::Book book = xls::read(path);
  ASSERT_EQ(book.error, "");
  EXPECT_EQ(book.sheet("工程")->at(4, 2).value, "0012");
}

TEST_F(ExportWindow, AnEmptyPathAsksForAFileNameThenReportsTheFailure) {
  auto grid = makeGrid(kTable);
  auto& w = window(grid.get(), "", "工程");
  EXPECT_FALSE(output(w));
  EXPECT_THAT(h.messages(), ElementsAre("请确定输出的文件名", "输出到Execl失败"));
  EXPECT_THAT(h.titles(), ElementsAre("员工工号修改", "员工工号修改"));
  EXPECT_EQ(h.dialogs().shown.value(0).icon, widgets::Icon::None);
  EXPECT_EQ(h.dialogs().shown.value(1).icon, widgets::Icon::None);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(shown.isEmpty());
}

TEST_F(ExportWindow, RefusedExportsLeaveTheFileAndTheWindowAsTheyWere) {
  const QString book = h.dir() + "/book.xls";
  ASSERT_TRUE(exportGrid(kTable, book, "工程"));
  ASSERT_TRUE(exportGrid(kTable, book, "Table"));

  const QString text = h.dir() + "/text.xls";
  {
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("序,原工号\n1,0012\n");
  }
  const QString empty = h.dir() + "/empty.xls";
  QFile(empty).open(QIODevice::WriteOnly);
  const QString locked = h.dir() + "/locked.xls";
  ASSERT_TRUE(QFile::copy(book, locked));
  const QString foreignLock = h.dir() + "/.~lock.locked.xls#";
  {
    QFile f(foreignLock);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(",someone,otherhost,07.03.2024 09:00,file:///home/someone/.config/libreoffice/4;");
  }
  const QByteArray lockBefore = contents(foreignLock);

  struct Case {
    const char* why;
    QString path, sheet;
  };
  const Case cases[] = {
      {"a sheet name holding a slash", book, "工程/一"},
      {"a sheet name holding a colon", book, "工程:一"},
      {"a sheet name of 32 characters", book, QString(32, QChar(u'工'))},
      {"a sheet name beginning with an apostrophe", book, "'工程"},
      {"an empty sheet name", book, ""},
      {"a sheet of that name in other letter case", book, "TABLE"},
      {"a file that is not a workbook", text, "工程"},
      {"an empty file", empty, "工程"},
      {"a workbook locked by another program", locked, "工程"},
      {"a folder that does not exist", h.dir() + "/无此目录/new.xls", "工程"},
      {"a new file with a refused sheet name", h.dir() + "/new.xls", "a[1]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const bool existed = QFile::exists(c.path);
    const QByteArray bytes = contents(c.path);
    h.dialogs().shown.clear();
    shown.clear();
    auto grid = makeGrid(kTable);
    auto& w = window(grid.get(), c.path, c.sheet);
    EXPECT_FALSE(output(w));
    // An existing file is asked about first (answered Yes).
    EXPECT_EQ(h.messages().mid(existed), QStringList{"输出到Execl失败"});
    EXPECT_EQ(h.messages().size(), existed + 1);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(QFile::exists(c.path), existed);
    EXPECT_EQ(contents(c.path), bytes);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(calc::office::openDocumentCount(), 0) << "the document is closed again";
    EXPECT_THAT(lockFiles(h.dir()), ElementsAre(".~lock.locked.xls#"));
    w.close();
  }
  EXPECT_FALSE(QFileInfo::exists(h.dir() + "/无此目录"));
  EXPECT_EQ(contents(foreignLock), lockBefore);
  EXPECT_TRUE(calc::office::running()) << "the office serves the next export";
}

TEST_F(ExportWindow, AStopBeforeTheSaveLeavesNoNewWorkbookAndAnExistingOneAsItWas) {
  const QString book = h.dir() + "/book.xls";
  ASSERT_TRUE(exportGrid(kTable, book, "工程"));
  const QByteArray bytes = contents(book);
  const QString fresh = h.dir() + "/fresh.xls";
  for (int stopAt : {0, 5}) {
    for (const QString& path : {fresh, book}) {
      SCOPED_TRACE(path.toStdString() + " " + std::to_string(stopAt));
      QStringList labels;
      widgets::ProgressDialog::setScript([&](const QString& label, int done, int) {
        labels << label;
        return done < stopAt;
      });
      h.dialogs().shown.clear();
      auto grid = makeGrid(kTable);
      auto& w = window(grid.get(), path, "工程");
      EXPECT_FALSE(output(w));
      widgets::ProgressDialog::setScript({});
      EXPECT_EQ(h.messages().mid(path == book), QStringList{"已取消输出，工作簿没有保存"});
      EXPECT_EQ(labels.last(), QStringLiteral("正在输出到Excel：第 %1 / 14 步").arg(stopAt + 1));
      EXPECT_TRUE(w.isVisible());
      EXPECT_EQ(QFile::exists(path), path == book);
      EXPECT_EQ(contents(book), bytes);
      EXPECT_EQ(calc::office::openDocumentCount(), 0) << "the document is closed again";
      w.close();
    }
  }
}

TEST_F(ExportWindow, ALockLeftByAnOfficeOfThisToolThatIsGoneDoesNotBlockTheExport) {
  const QString path = h.dir() + "/book.xls";
  ASSERT_TRUE(exportGrid(kTable, path, "工程"));
  const QString lock = h.dir() + "/.~lock.book.xls#";
  {
    QFile f(lock);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write((",root,host,07.03.2024 09:00," +
             QUrl::fromLocalFile(QDir::tempPath() + "/renumber-office-gone00").toString(QUrl::FullyEncoded) + ";")
                .toUtf8());
  }
  EXPECT_TRUE(exportGrid(kTable, path, "工程"));
  EXPECT_THAT(h.messages(), ElementsAre(frm输出到Excel文件::existingWorkbookQuestion(path, "工程")));
  EXPECT_FALSE(QFile::exists(lock));
}

TEST_F(ExportWindow, ShuttingTheOfficeDownEndsItAndTheNextExportStartsAnother) {
  ASSERT_TRUE(exportGrid(kTable, h.dir() + "/a.xls", "工程"));
  const long first = calc::office::processId();
  const QString profile = calc::office::profileDir();
  ASSERT_GT(first, 0);
  ASSERT_TRUE(QFileInfo::exists(profile));
  calc::office::shutdown();
  EXPECT_FALSE(calc::office::running());
  EXPECT_TRUE(processGone(first));
  EXPECT_FALSE(QFileInfo::exists(profile));

  ASSERT_TRUE(exportGrid(kTable, h.dir() + "/b.xls", "工程"));
  EXPECT_NE(calc::office::processId(), first);
  EXPECT_EQ(xls::read(h.dir() + "/b.xls").sheet("工程")->rows, 5);
}

// Run as a child process by the test below: one export, then the office's process id and profile
// on standard output; with RENUMBER_TEST_STAY set the child waits to be killed.
TEST_F(ExportWindow, DISABLED_ExportOnceAndReportTheOffice) {
  ASSERT_TRUE(exportGrid(kTable, h.dir() + "/a.xls", "工程"));
  std::printf("OFFICE %ld %s\n", calc::office::processId(), qPrintable(calc::office::profileDir()));
  std::fflush(stdout);
  if (qEnvironmentVariableIsSet("RENUMBER_TEST_STAY")) QThread::sleep(60);
}

struct ChildOffice {
  long pid = 0;
  QString profile;
};

ChildOffice startChild(QProcess& child, bool stay, const QString& tempDir = QString()) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (stay) env.insert("RENUMBER_TEST_STAY", "1");
  if (!tempDir.isEmpty()) env.insert("TMPDIR", tempDir);
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_also_run_disabled_tests", "--gtest_filter=ExportWindow.DISABLED_ExportOnceAndReportTheOffice"});
  ChildOffice office;
  QByteArray out;
  while (child.waitForReadyRead(60000)) {
    out += child.readAllStandardOutput();
    const QRegularExpressionMatch m = QRegularExpression("OFFICE (\\d+) (\\S+)").match(QString::fromUtf8(out));
    if (m.hasMatch()) {
      office.pid = m.captured(1).toLong();
      office.profile = m.captured(2);
      break;
    }
  }
  return office;
}

bool waitGone(long pid) {
  for (int i = 0; i < 500 && !processGone(pid); ++i) QThread::msleep(20);
  return processGone(pid);
}

TEST(ExportOffice, TheOfficeEndsWhenTheToolEndsOrDies) {
  {
    // In a temporary folder of its own the office starts on a fresh profile; when it has ended,
    // that profile, with the office's version recorded, is kept as the seed of later profiles.
    QTemporaryDir temp;
    QProcess child;
    const ChildOffice office = startChild(child, false, temp.path());
    ASSERT_GT(office.pid, 0);
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_TRUE(processGone(office.pid)) << "ended with the tool";
    EXPECT_FALSE(QFileInfo::exists(office.profile)) << "its private profile removed";
    const QString seed = "renumber-office-seed-" + QString::number(getuid());
    EXPECT_THAT(QDir(temp.path()).entryList({"renumber-office*"}, QDir::Dirs), ElementsAre(seed));
    EXPECT_TRUE(contents(temp.filePath(seed + "/user/registrymodifications.xcu")).contains("ooSetupLastVersion"));
  }
  {
    QProcess child;
    const ChildOffice office = startChild(child, true);
    ASSERT_GT(office.pid, 0);
    ASSERT_FALSE(processGone(office.pid));
    child.kill();
    child.waitForFinished(10000);
    EXPECT_TRUE(waitGone(office.pid)) << "ended when the tool was killed";
    QDir(office.profile).removeRecursively();
  }
}

}  // namespace
