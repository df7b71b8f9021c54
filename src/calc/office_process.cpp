// The headless office: started on first use with a private profile and a pipe of its own, ended
// when the tool exits. soffice.bin is started directly (not through its launcher), so the
// process is ours to wait for and to end; a profile it has to restart for (exit codes 79 and 81)
// is handled here as the launcher would.
//
// A fresh profile costs a start of several seconds (profile creation and a restart), and a
// headless office never records the profile's last-seen version, so even a reused profile is
// treated as a first start each time. The first office of the machine user therefore records the
// version through the configuration API and, when it has ended cleanly, its profile becomes the
// seed (a folder in the temporary directory) that later offices copy as their private profile.
#include "calc/office_process.h"

#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/container/XNameReplace.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/util/XChangesBatch.hpp>
#include <com/sun/star/util/XFlushable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "calc/engine_error.h"
#include "calc/office_control.h"

extern char** environ;

namespace calc::office {
namespace {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using Clock = std::chrono::steady_clock;

constexpr auto kStartTimeout = std::chrono::seconds(60);
constexpr auto kEndTimeout = std::chrono::seconds(10);

// Whether a started office had to record the profile's last-seen version (see below).
enum class Version { Recorded, WasRecorded, Unknown };

struct State {
  pid_t pid = 0;
  QString profile;
  QString pipe;
  Version version = Version::Unknown;
  Connection conn;
};

// Never destroyed: the office is ended by shutdown(), before the UNO libraries go away.
State& state() {
  static State* s = new State;
  return *s;
}

QString seedDir() { return QDir::tempPath() + QStringLiteral("/renumber-office-seed-") + QString::number(getuid()); }

bool usableSeed(const QString& dir) {
  QFileInfo info(dir);
  return info.isDir() && info.ownerId() == getuid() &&
         QFileInfo::exists(dir + QStringLiteral("/user/registrymodifications.xcu"));
}

// Copies a profile folder; the profile's lock file is not copied.
bool copyTree(const QString& from, const QString& to) {
  QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString src = it.next();
    const QFileInfo info = it.fileInfo();
    const QString dst = to + src.mid(from.size());
    if (info.isSymLink()) continue;
    if (info.isDir()) {
      if (!QDir().mkpath(dst)) return false;
    } else if (info.fileName() != QStringLiteral(".lock")) {
      QDir().mkpath(QFileInfo(dst).path());
      if (!QFile::copy(src, dst)) return false;
    }
  }
  return true;
}

QString makeProfile() {
  QByteArray tmpl = QFile::encodeName(QDir::tempPath() + QStringLiteral("/renumber-office-XXXXXX"));
  if (!mkdtemp(tmpl.data())) throw EngineError(QStringLiteral("cannot create a profile folder in ") + QDir::tempPath());
  const QString dir = QFile::decodeName(tmpl);
  const QString seed = seedDir();
  if (usableSeed(seed) && !copyTree(seed, dir)) {
    // A half-copied profile is worse than a fresh one.
    QDir(dir).removeRecursively();
    mkdir(tmpl.constData(), 0700);
  }
  return dir;
}

Reference<css::uno::XComponentContext> localContext() {
  // Kept for the whole run and never released: at exit the UNO libraries may be gone before it.
  static auto* holder = new Reference<css::uno::XComponentContext>;
  Reference<css::uno::XComponentContext>& local = *holder;
  if (!local.is()) {
    // The client side of UNO reads the office's bootstrap file; without it the first call fails hard.
    const QByteArray rc = "vnd.sun.star.pathname:" + QFile::encodeName(programDir()) + "/fundamentalrc";
    setenv("URE_BOOTSTRAP", rc.constData(), 0);
    try {
      local = cppu::defaultBootstrap_InitialComponentContext();
    } catch (const css::uno::Exception& e) {
      throw EngineError(QStringLiteral("cannot start the UNO runtime: ") + toQ(e.Message));
    } catch (const cppu::BootstrapException& e) {
      throw EngineError(QStringLiteral("cannot start the UNO runtime: ") + toQ(e.getMessage()));
    }
  }
  return local;
}

// Starts soffice.bin in a session of its own (so the whole group can be ended), standard streams
// on /dev/null, no descriptors of ours, and a parent-death signal so it does not outlive a tool
// that crashed.
pid_t spawn(const QString& profile, const QString& pipe) {
  const QString bin = programDir() + QStringLiteral("/soffice.bin");
  if (!QFileInfo(bin).isExecutable())
    throw EngineError(QStringLiteral("LibreOffice is not installed (") + bin + QStringLiteral(" is missing)"));
  std::vector<std::string> args = {
      bin.toStdString(),
      "--headless",
      "--invisible",
      "--nologo",
      "--norestore",
      "--nodefault",
      "--nolockcheck",
      (QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded))
          .toStdString(),
      (QStringLiteral("--accept=pipe,name=") + pipe + QStringLiteral(";urp;")).toStdString()};
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "SAL_ENABLE_FILE_LOCKING=", 24) != 0) env.emplace_back(*e);
  }
  env.emplace_back("SAL_ENABLE_FILE_LOCKING=1");
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) throw EngineError(QStringLiteral("cannot start LibreOffice: fork failed"));
  if (pid == 0) {
    setsid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    const int fd = open("/dev/null", O_RDWR);
    if (fd >= 0) {
      dup2(fd, 0);
      dup2(fd, 1);
      dup2(fd, 2);
    }
    close_range(3, ~0U, 0);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  return pid;
}

// Waits up to timeout for pid; true when it has ended (status filled).
bool waitEnded(pid_t pid, Clock::duration timeout, int& status) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// Ends the process group of pid: politely, then by force. Returns the exit status.
int endGroup(pid_t pid, bool alreadyAsked) {
  int status = 0;
  if (alreadyAsked && waitEnded(pid, kEndTimeout, status)) {
    kill(-pid, SIGKILL);  // anything the office left running in its group
    return status;
  }
  kill(-pid, SIGTERM);
  if (!waitEnded(pid, std::chrono::seconds(2), status)) {
    kill(-pid, SIGKILL);
    waitEnded(pid, std::chrono::seconds(5), status);
  }
  kill(-pid, SIGKILL);
  return -1;
}

// A headless office does not store the version it last ran as; without it every start on this
// profile repeats the work of a first start after an update. Returns whether the version had to
// be recorded (a fresh profile, or a seed from another version of the office).
Version recordLastSeenVersion(const Reference<css::uno::XComponentContext>& ctx) {
  Reference<css::lang::XMultiServiceFactory> provider = css::configuration::theDefaultProvider::get(ctx);
  css::beans::NamedValue path;
  path.Name = "nodepath";
  path.Value <<= rtl::OUString("/org.openoffice.Setup/Product");
  const css::uno::Any pathArg(path);
  const css::uno::Sequence<css::uno::Any> args(&pathArg, 1);
  Reference<css::container::XNameAccess> product(
      provider->createInstanceWithArguments("com.sun.star.configuration.ConfigurationUpdateAccess", args),
      UNO_QUERY_THROW);
  rtl::OUString version, lastSeen;
  product->getByName("ooSetupVersion") >>= version;
  product->getByName("ooSetupLastVersion") >>= lastSeen;
  if (version.isEmpty()) return Version::Unknown;
  if (lastSeen == version) return Version::WasRecorded;
  {
    Reference<css::container::XNameReplace>(product, UNO_QUERY_THROW)
        ->replaceByName("ooSetupLastVersion", css::uno::Any(version));
    Reference<css::util::XChangesBatch>(product, UNO_QUERY_THROW)->commitChanges();
    Reference<css::util::XFlushable> flush(provider, UNO_QUERY);
    if (flush.is()) flush->flush();
  }
  return Version::Recorded;
}

void forget() {
  State& s = state();
  s.conn = Connection{};
  s.pid = 0;
  s.pipe.clear();
  s.version = Version::Unknown;
  if (!s.profile.isEmpty()) QDir(s.profile).removeRecursively();
  s.profile.clear();
}

void registerExitHandlers() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  if (QCoreApplication::instance()) qAddPostRoutine(&shutdown);
  std::atexit(&shutdown);
}

}  // namespace

QString toQ(const rtl::OUString& s) {
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(s.getStr()), s.getLength());
}

rtl::OUString toU(const QString& s) { return rtl::OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), s.size()); }

std::function<void()>& whileStarting() {
  static std::function<void()> hook;
  return hook;
}

void setWhileStarting(std::function<void()> hook) { whileStarting() = std::move(hook); }

Connection& connect() {
  State& s = state();
  if (s.pid && s.conn.desktop.is()) return s.conn;
  if (s.pid) shutdown();

  Reference<css::uno::XComponentContext> local = localContext();
  // A write to the pipe of an office that died must fail with EPIPE (an exception), not end the tool.
  struct sigaction pipeAction {};
  if (sigaction(SIGPIPE, nullptr, &pipeAction) == 0 && pipeAction.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
  s.profile = makeProfile();
  s.pipe = QStringLiteral("renumber_%1_%2")
               .arg(getpid())
               .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
  registerExitHandlers();
  s.pid = spawn(s.profile, s.pipe);

  Reference<css::bridge::XUnoUrlResolver> resolver;
  try {
    resolver = css::bridge::UnoUrlResolver::create(local);
  } catch (const css::uno::Exception& e) {
    endGroup(s.pid, false);
    forget();
    throw EngineError(QStringLiteral("cannot create the UNO resolver: ") + toQ(e.Message));
  }
  const rtl::OUString url =
      toU(QStringLiteral("uno:pipe,name=") + s.pipe + QStringLiteral(";urp;StarOffice.ComponentContext"));
  const auto deadline = Clock::now() + kStartTimeout;
  int restarts = 0;
  QString lastError;
  Reference<css::uno::XComponentContext> ctx;
  for (;;) {
    try {
      ctx.set(resolver->resolve(url), UNO_QUERY);
      if (ctx.is()) break;
    } catch (const css::connection::NoConnectException&) {
    } catch (const css::uno::Exception& e) {
      lastError = toQ(e.Message);
    }
    int status = 0;
    if (waitpid(s.pid, &status, WNOHANG) == s.pid) {
      const bool restart = WIFEXITED(status) && (WEXITSTATUS(status) == 79 || WEXITSTATUS(status) == 81);
      if (restart && restarts++ < 3) {
        s.pid = spawn(s.profile, s.pipe);
        continue;
      }
      s.pid = 0;
      forget();
      throw EngineError(QStringLiteral("LibreOffice ended while starting (%1 %2)")
                            .arg(WIFEXITED(status) ? QStringLiteral("exit code") : QStringLiteral("signal"))
                            .arg(WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status)));
    }
    if (Clock::now() >= deadline) {
      endGroup(s.pid, false);
      forget();
      throw EngineError(QStringLiteral("LibreOffice did not answer within 60 s") +
                        (lastError.isEmpty() ? QString() : QStringLiteral(": ") + lastError));
    }
    if (whileStarting()) whileStarting()();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }

  try {
    s.conn.context = ctx;
    s.conn.desktop = css::frame::Desktop::create(ctx);
    s.version = recordLastSeenVersion(ctx);
  } catch (const css::uno::Exception& e) {
    const QString text = toQ(e.Message);
    endGroup(s.pid, false);
    forget();
    throw EngineError(QStringLiteral("LibreOffice does not answer as expected: ") + text);
  }
  return s.conn;
}

void checkAfterFailure() {
  State& s = state();
  if (!s.pid) return;
  int status = 0;
  if (waitpid(s.pid, &status, WNOHANG) == s.pid) {
    kill(-s.pid, SIGKILL);
    forget();
    return;
  }
  try {
    if (s.conn.context.is()) s.conn.context->getServiceManager();
  } catch (const css::lang::DisposedException&) {
    shutdown();
  } catch (const css::uno::RuntimeException&) {
    shutdown();
  }
}

QString programDir() {
  const QString chosen = qEnvironmentVariable("RENUMBER_OFFICE_PROGRAM");
  return chosen.isEmpty() ? QStringLiteral(RENUMBER_OFFICE_PROGRAM_DIR) : chosen;
}

bool installed() { return QFileInfo(programDir() + QStringLiteral("/soffice.bin")).isExecutable(); }

bool running() { return state().pid != 0; }
long processId() { return state().pid; }
QString profileDir() { return state().profile; }

void shutdown() {
  State& s = state();
  if (!s.pid) return;
  bool asked = false;
  if (s.conn.desktop.is()) {
    try {
      asked = s.conn.desktop->terminate();
    } catch (const css::lang::DisposedException&) {
      asked = true;  // the connection went down with the office
    } catch (const css::uno::Exception&) {}
  }
  s.conn = Connection{};
  const int status = endGroup(s.pid, asked);
  const bool clean = status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  s.pid = 0;
  // A cleanly ended profile whose version had to be recorded becomes the seed of later offices
  // when there is none yet or the seed is of another version of the office.
  const QString seed = seedDir();
  const bool seedMissing = !usableSeed(seed);
  if (clean && s.version == Version::Recorded && (seedMissing || QFileInfo(seed).ownerId() == getuid())) {
    QFile::remove(s.profile + QStringLiteral("/.lock"));
    const QString old = s.profile + QStringLiteral("-old-seed");
    const bool replace = QFileInfo::exists(seed) && QDir().rename(seed, old);
    if (QDir().rename(s.profile, seed)) s.profile.clear();
    if (replace) QDir(old).removeRecursively();
  }
  forget();
}

}  // namespace calc::office
