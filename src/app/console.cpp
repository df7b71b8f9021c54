#include "app/console.h"

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#endif

namespace app::console {

#ifdef Q_OS_WIN

QStringList arguments(int, char**) {
  QStringList args;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return args;
  for (int i = 1; i < count; ++i) args << QString::fromWCharArray(wide[i]);
  LocalFree(wide);
  return args;
}

void print(FILE* to, const QString& text) {
  std::fflush(to);
  HANDLE handle = GetStdHandle(to == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    // The console takes UTF-16 whatever its code page; line ends as the console wants them.
    QString lines = text;
    lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const auto* chars = reinterpret_cast<const wchar_t*>(lines.utf16());
    DWORD left = DWORD(lines.size());
    while (left > 0) {
      DWORD written = 0;
      if (!WriteConsoleW(handle, chars, left, &written, nullptr) || written == 0) break;
      chars += written;
      left -= written;
    }
    return;
  }
  UINT codePage = GetConsoleOutputCP();
  if (codePage == 0) codePage = GetACP();
  const auto* chars = reinterpret_cast<const wchar_t*>(text.utf16());
  const int size = WideCharToMultiByte(codePage, 0, chars, int(text.size()), nullptr, 0, nullptr, nullptr);
  QByteArray bytes(size, Qt::Uninitialized);
  WideCharToMultiByte(codePage, 0, chars, int(text.size()), bytes.data(), size, nullptr, nullptr);
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);  // text mode: "\n" is written as "\r\n"
  std::fflush(to);
}

void releaseOwnConsole() {
  DWORD processes[2];
  if (GetConsoleWindow() != nullptr && GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}

#else

QStringList arguments(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  return args;
}

void print(FILE* to, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
  std::fflush(to);
}

void releaseOwnConsole() {}

#endif

}  // namespace app::console
