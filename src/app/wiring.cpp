#include "app/wiring.h"

#include "app/check_export.h"
#include "app/journal_export.h"
#include "app/old_new_export.h"
#include "app/preview_wiring.h"
#include "gui/batch/batch_window.h"
#include "gui/dbcheck/check_window.h"
#include "gui/journal/journal_window.h"
#include "gui/single/single_window.h"
#include "gui/widgets/shared_window.h"

void wireFeatures() {
  widgets::shared_window::created<frm员工工号统一修改>() = [](frm员工工号统一修改& w) {
    connectOldNewExport(w);
    connectBatchPreview(w);
  };
  widgets::shared_window::created<frm数据库检查>() = [](frm数据库检查& w) { connectCheckExport(w); };
  widgets::shared_window::created<frm员工Kestrune>() = [](frm员工Kestrune& w) { connectSinglePreview(w); };
  wireJournal();
}

void wireJournal() {
  widgets::shared_window::created<frm修改记录>() = [](frm修改记录& w) { connectJournalExport(w); };
}
