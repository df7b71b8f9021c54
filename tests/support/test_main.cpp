// main() of every test executable: Google Test under an offscreen Qt application, with all
// settings (QSettings) and data files kept in temporary folders so tests never see or touch the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The tool's data files (the change journal) go to a temporary folder as well.
  QTemporaryDir dataDir;
  qputenv("XDG_DATA_HOME", dataDir.path().toLocal8Bit());
  QApplication app(argc, argv);
  QTemporaryDir settingsDir;
  for (QSettings::Format format : {QSettings::IniFormat, QSettings::NativeFormat})
    for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
      QSettings::setPath(format, scope, settingsDir.path());
  QSettings::setDefaultFormat(QSettings::IniFormat);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
