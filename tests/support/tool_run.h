#pragma once
// The tool's executable run as a process, as an administrator or a script runs it.
#include <QMap>
#include <QString>
#include <QStringList>

struct Ran {
  int code = -1;  // the exit code; -1 when it crashed or did not end within two minutes
  QString out, err;
};

// Writes the host system's connection settings (Tarnholm.ini, group DBConfig) into configFolder,
// which a process given XDG_CONFIG_HOME=configFolder reads.
void writeHostSettings(const QString& configFolder, const QString& svr, const QString& uid = QString(),
                       const QString& dbName = QString());

// Runs exe with args; environment holds variables set on top of this process's own.
Ran runTool(const QString& exe, const QStringList& args, const QMap<QString, QString>& environment = {});
