#pragma once
// The headless office behind the spreadsheet engine, seen from outside (no UNO types): whether
// it runs, its process and profile, and its end.
#include <QString>
#include <functional>

namespace calc::office {

// The office's program folder (soffice.bin, its bootstrap file and type libraries): the folder
// named by RENUMBER_OFFICE_PROGRAM when set, else the one found when the tool was built.
QString programDir();
// Whether soffice.bin is there to be started.
bool installed();

bool running();
long processId();  // 0 when not running
QString profileDir();  // its private profile folder; "" when not running
int openDocumentCount();  // documents the office holds open now (0 when not running)
// Ends the office (desktop terminate, wait, kill when needed) and removes its profile. The
// next engine call starts a new one. Called automatically when the tool exits.
void shutdown();
// While the office starts (up to a minute), this is called between the attempts to reach it,
// about every 50 ms: a window can let its event loop run. Empty: the start just waits.
void setWhileStarting(std::function<void()> hook);

}  // namespace calc::office
