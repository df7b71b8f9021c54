// The export window on a machine without a spreadsheet engine: the office's program folder holds
// no soffice.bin (in a build without the LibreOffice SDK there is no engine at all); on Windows,
// Excel is not installed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>

#include "gui/export/export_window.h"
#include "tests/support/harness.h"

namespace {

TEST(ExportWithoutEngine, TheWindowExplainsAndWritesNothing) {
  Harness h;
  QTemporaryDir noOffice;
  qputenv("RENUMBER_OFFICE_PROGRAM", noOffice.path().toUtf8());
  FlexGrid grid;
  grid.setCols(2);
  grid.setRows(2);
  grid.setTextMatrix(1, 0, "0012");
  const QString path = h.dir() + "/对照表.xls";
#ifdef _WIN32
  const QString engine = "Microsoft Excel";  // not installed under Wine
#else
  const QString engine = "LibreOffice Calc";
#endif
  const QString status = "没有安装电子表格引擎（" + engine + "），不能输出到Excel文件";
  const QString text = status + "；安装 " + engine + " 后即可输出，其他功能照常使用。";

  auto& w = h.open<frm输出到Excel文件>();
  EXPECT_EQ(w.StatusBar1->currentMessage(), status);
  w.setData({path, "工程类员工新旧工号对照表", "2024-03-07", "工程", grid.table()});
  w.Command2->click();
  EXPECT_THAT(h.messages(), ::testing::ElementsAre(text));  // and not "输出到Execl失败" after it
  EXPECT_THAT(h.titles(), ::testing::ElementsAre("员工工号修改"));
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.Text1[0]->text(), path);
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_EQ(w.StatusBar1->currentMessage(), status);
  qunsetenv("RENUMBER_OFFICE_PROGRAM");
}

}  // namespace
