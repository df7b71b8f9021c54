// Runs a batch apply or the staging on an embedded database with its change journal attached, as
// the tool runs them, for the test that kills it half-way:
//   batch_kill_helper <database> <journal folder> <kill at> apply <rows file: "old<TAB>new" per line>
//   batch_kill_helper <database> <journal folder> <kill at> stage
// Prints "ready" once the database and the journal are open, "done <n> <b>..." when the work is
// committed and journaled: n the file operations (writes, syncs, truncations, deletions of any
// SQLite file of the process) the work made, each b the number of one that was a sync, a
// truncation or a deletion (where the commit's steps begin and end). With <kill at> = k > 0 the process kills itself (SIGKILL)
// just before its k-th such operation: every moment at which the files can differ is one of them.
#include <sqlite3.h>

#include <QCoreApplication>
#include <QFile>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "db/database.h"
#include "core/batch/batch_ops.h"
#include "core/journal/journal.h"
#include "core/session/session.h"

namespace {

sqlite3_vfs* real = nullptr;
sqlite3_vfs counting;
bool counted = false;  // from the start of the work
long operations = 0, killAt = 0;
std::vector<long> boundaries;  // the syncs, truncations and deletions among them

void tick(bool boundary = false) {
  if (!counted) return;
  if (++operations == killAt) std::raise(SIGKILL);
  if (boundary) boundaries.push_back(operations);
}

// A file of the counting file system: the real file behind it.
struct File {
  sqlite3_file base;
  sqlite3_file* real;
};
sqlite3_file* realOf(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

int fClose(sqlite3_file* f) { return realOf(f)->pMethods->xClose(realOf(f)); }
int fRead(sqlite3_file* f, void* p, int n, sqlite3_int64 at) { return realOf(f)->pMethods->xRead(realOf(f), p, n, at); }
int fWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 at) {
  tick();
  return realOf(f)->pMethods->xWrite(realOf(f), p, n, at);
}
int fTruncate(sqlite3_file* f, sqlite3_int64 size) {
  tick(true);
  return realOf(f)->pMethods->xTruncate(realOf(f), size);
}
int fSync(sqlite3_file* f, int flags) {
  tick(true);
  return realOf(f)->pMethods->xSync(realOf(f), flags);
}
int fSize(sqlite3_file* f, sqlite3_int64* size) { return realOf(f)->pMethods->xFileSize(realOf(f), size); }
int fLock(sqlite3_file* f, int lock) { return realOf(f)->pMethods->xLock(realOf(f), lock); }
int fUnlock(sqlite3_file* f, int lock) { return realOf(f)->pMethods->xUnlock(realOf(f), lock); }
int fReserved(sqlite3_file* f, int* out) { return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out); }
int fControl(sqlite3_file* f, int op, void* arg) { return realOf(f)->pMethods->xFileControl(realOf(f), op, arg); }
int fSector(sqlite3_file* f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); }
int fDevice(sqlite3_file* f) { return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f)); }

// Version 1 of the file methods: no shared memory (the tool's files use a rollback journal, never
// WAL) and no memory mapping.
const sqlite3_io_methods kMethods = {1,       fClose,  fRead,     fWrite,   fTruncate, fSync,   fSize,
                                     fLock,   fUnlock, fReserved, fControl, fSector,   fDevice, nullptr,
                                     nullptr, nullptr, nullptr,   nullptr,  nullptr};

int vOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
  File* file = reinterpret_cast<File*>(f);
  file->real = reinterpret_cast<sqlite3_file*>(file + 1);
  file->base.pMethods = nullptr;
  const int rc = real->xOpen(real, name, file->real, flags, outFlags);
  if (file->real->pMethods) file->base.pMethods = &kMethods;
  return rc;
}
int vDelete(sqlite3_vfs*, const char* name, int syncDir) {
  tick(true);
  return real->xDelete(real, name, syncDir);
}
int vAccess(sqlite3_vfs*, const char* name, int flags, int* out) { return real->xAccess(real, name, flags, out); }
int vFullPathname(sqlite3_vfs*, const char* name, int n, char* out) { return real->xFullPathname(real, name, n, out); }
void* vDlOpen(sqlite3_vfs*, const char* name) { return real->xDlOpen(real, name); }
void vDlError(sqlite3_vfs*, int n, char* out) { real->xDlError(real, n, out); }
void (*vDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) { return real->xDlSym(real, handle, symbol); }
void vDlClose(sqlite3_vfs*, void* handle) { real->xDlClose(real, handle); }
int vRandomness(sqlite3_vfs*, int n, char* out) { return real->xRandomness(real, n, out); }
int vSleep(sqlite3_vfs*, int micro) { return real->xSleep(real, micro); }
int vCurrentTime(sqlite3_vfs*, double* out) { return real->xCurrentTime(real, out); }
int vLastError(sqlite3_vfs*, int n, char* out) { return real->xGetLastError(real, n, out); }
int vCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return real->xCurrentTimeInt64(real, out); }

// The counting file system over the default one, made the default for every connection opened
// after it (Qt's driver and the tool's own use the same SQLite library).
void installCounting() {
  real = sqlite3_vfs_find(nullptr);
  std::memset(&counting, 0, sizeof counting);
  counting.iVersion = 2;
  counting.szOsFile = int(sizeof(File)) + real->szOsFile;
  counting.mxPathname = real->mxPathname;
  counting.zName = "renumber_kill_counting";
  counting.xOpen = vOpen;
  counting.xDelete = vDelete;
  counting.xAccess = vAccess;
  counting.xFullPathname = vFullPathname;
  counting.xDlOpen = vDlOpen;
  counting.xDlError = vDlError;
  counting.xDlSym = vDlSym;
  counting.xDlClose = vDlClose;
  counting.xRandomness = vRandomness;
  counting.xSleep = vSleep;
  counting.xCurrentTime = vCurrentTime;
  counting.xGetLastError = vLastError;
  counting.xCurrentTimeInt64 = vCurrentTimeInt64;
  sqlite3_vfs_register(&counting, 1);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 5) return 2;
  installCounting();
  killAt = args[3].toLong();
  db::Database database;
  QString error;
  if (!database.openSqlite(args[1], &error)) {
    std::fprintf(stderr, "%s\n", error.toUtf8().constData());
    return 1;
  }
  // The session and its journal as the tool's start opens them for its connection: attached to the database.
  session::Session session(database, {QStringLiteral("sqlite:") + args[1], QString(), QStringLiteral("sa")},
                           args[2] + QStringLiteral("/renumber.ini"), args[2]);
  if (const QString problem = session.openJournal(); !problem.isEmpty()) {
    std::fprintf(stderr, "%s\n", problem.toUtf8().constData());
    return 1;
  }
  batch::Rows rows;
  if (args[4] == QStringLiteral("apply")) {
    QFile file(args.value(5));
    if (!file.open(QIODevice::ReadOnly)) return 2;
    for (const QByteArray& line : file.readAll().split('\n'))
      if (const QList<QByteArray> parts = line.split('\t'); parts.size() == 2)
        rows.push_back({QString::fromUtf8(parts[0]), QString::fromUtf8(parts[1])});
  }
  std::puts("ready");
  std::fflush(stdout);
  counted = true;
  try {
    if (args[4] == QStringLiteral("apply")) {
      if (!batch::applyRows(session, rows).applied()) return 3;
    } else {
      batch::stageNoPosition(session);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  counted = false;
  if (const QString notice = session.journal().takeNotice(); !notice.isEmpty()) {
    std::fprintf(stderr, "%s\n", notice.toUtf8().constData());
    return 4;
  }
  std::printf("done %ld", operations);
  for (long b : boundaries) std::printf(" %ld", b);
  std::printf("\n");
  std::fflush(stdout);
  return 0;
}
