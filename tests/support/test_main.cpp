// main() of every test executable: Google Test under an offscreen Qt application, with all
// settings (QSettings) kept in a temporary folder so tests never see or touch the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir settingsDir;
  for (QSettings::Format format : {QSettings::IniFormat, QSettings::NativeFormat})
    for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
      QSettings::setPath(format, scope, settingsDir.path());
  QSettings::setDefaultFormat(QSettings::IniFormat);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
