#include "tests/support/tool_run.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <stdexcept>

void writeHostSettings(const QString& configFolder, const QString& svr, const QString& uid, const QString& dbName) {
#ifdef _WIN32
  Q_UNUSED(configFolder);
  QSettings key(QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Tarnholm"),
                QSettings::NativeFormat);
  key.remove(QStringLiteral("DBConfig"));
  key.setValue(QStringLiteral("DBConfig/Svr"), svr);
  if (!uid.isEmpty()) key.setValue(QStringLiteral("DBConfig/UID"), uid);
  if (!dbName.isEmpty()) key.setValue(QStringLiteral("DBConfig/DBname"), dbName);
#else
  QFile ini(configFolder + QStringLiteral("/Tarnholm.ini"));
  if (!ini.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write " + ini.fileName().toStdString());
  QString text = QStringLiteral("[DBConfig]\nSvr=") + svr + u'\n';
  if (!uid.isEmpty()) text += QStringLiteral("UID=") + uid + u'\n';
  if (!dbName.isEmpty()) text += QStringLiteral("DBname=") + dbName + u'\n';
  ini.write(text.toUtf8());
#endif
}

QString toolSettingsFile(const QString& configFolder) {
#ifdef _WIN32
  Q_UNUSED(configFolder);
  return qEnvironmentVariable("APPDATA") + QStringLiteral("/renumber/renumber.ini");
#else
  return configFolder + QStringLiteral("/renumber/renumber.conf");
#endif
}

QString consoleText(const QByteArray& printed) {
#ifdef _WIN32
  QString text = QString::fromLocal8Bit(printed);
  return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#else
  return QString::fromUtf8(printed);
#endif
}

Ran runTool(const QString& exe, const QStringList& args, const QMap<QString, QString>& environment) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (auto it = environment.cbegin(); it != environment.cend(); ++it) env.insert(it.key(), it.value());
  p.setProcessEnvironment(env);
  p.start(exe, args);
  Ran r;
  if (!p.waitForFinished(120000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = consoleText(p.readAllStandardOutput());
  r.err = consoleText(p.readAllStandardError());
  return r;
}
