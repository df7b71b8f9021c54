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
// which a process given XDG_CONFIG_HOME=configFolder reads; on Windows into the user's registry
// key, which every process reads (the test programs that write it take turns: RESOURCE_LOCK).
void writeHostSettings(const QString& configFolder, const QString& svr, const QString& uid = QString(),
                       const QString& dbName = QString());

// The tool's own settings file (the added columns) that a process given
// XDG_CONFIG_HOME=configFolder reads; on Windows the user's %APPDATA%\renumber\renumber.ini.
QString toolSettingsFile(const QString& configFolder);

// What a command-line mode printed, as text: UTF-8, on Windows the system's code page.
QString consoleText(const QByteArray& printed);

// Runs exe with args; environment holds variables set on top of this process's own.
Ran runTool(const QString& exe, const QStringList& args, const QMap<QString, QString>& environment = {});
