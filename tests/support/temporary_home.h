#pragma once
// A home folder of the test's own, with a documents folder in it, for as long as the object
// lives (the user's own folders are neither read nor written).
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

class TemporaryHome {
 public:
  TemporaryHome() : home_(qgetenv("HOME")), config_(qgetenv("XDG_CONFIG_HOME")) {
    QDir(dir_.path()).mkpath("Documents");
    qputenv("HOME", QFile::encodeName(dir_.path()));
    qunsetenv("XDG_CONFIG_HOME");  // no user-dirs file: the documents folder is ~/Documents
  }
  ~TemporaryHome() {
    qputenv("HOME", home_);
    if (!config_.isNull()) qputenv("XDG_CONFIG_HOME", config_);
  }
  TemporaryHome(const TemporaryHome&) = delete;
  TemporaryHome& operator=(const TemporaryHome&) = delete;
#ifdef _WIN32
  // Windows' known folders cannot be pointed elsewhere for one process: the user's own documents
  // folder (under Wine, the test prefix's).
  QString documents() const { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); }
#else
  QString documents() const { return dir_.path() + "/Documents"; }
#endif

 private:
  QTemporaryDir dir_;
  QByteArray home_, config_;
};
