#pragma once
// A file's SHA-1, to show that a file was left exactly as it was.
#include <QCryptographicHash>
#include <QFile>

inline QByteArray fileHash(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QCryptographicHash hash(QCryptographicHash::Sha1);
  hash.addData(&f);
  return hash.result();
}
