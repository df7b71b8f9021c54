// The tool built without the LibreOffice SDK: there is no spreadsheet engine, and the export
// window says so; everything else works.
#include "calc/calc_engine.h"

namespace calc {

Engine* installedEngine() { return nullptr; }
QString engineName() { return QStringLiteral("LibreOffice Calc"); }

}  // namespace calc
