#include "tests/support/tool_run.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <stdexcept>

void writeHostSettings(const QString& configFolder, const QString& svr, const QString& uid, const QString& dbName) {
  QFile ini(configFolder + QStringLiteral("/Tarnholm.ini"));
  if (!ini.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write " + ini.fileName().toStdString());
  QString text = QStringLiteral("[DBConfig]\nSvr=") + svr + u'\n';
  if (!uid.isEmpty()) text += QStringLiteral("UID=") + uid + u'\n';
  if (!dbName.isEmpty()) text += QStringLiteral("DBname=") + dbName + u'\n';
  ini.write(text.toUtf8());
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
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}
