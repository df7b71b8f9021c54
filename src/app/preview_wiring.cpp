#include "app/preview_wiring.h"

#include "gui/preview/preview_window.h"
#include "gui/batch/batch_window.h"
#include "gui/single/single_window.h"
#include "gui/widgets/shared_window.h"

namespace {

void showPreview(const QString& caption, const preview::Impact& impact, const QString& script,
                 const QString& fileName) {
  widgets::shared_window::show<frm影响预览>().显示(caption, impact, script, fileName);
}

}  // namespace

void connectSinglePreview(frm员工Kestrune& w) {
  QObject::connect(w.events, &SingleWindowEvents::previewReady, &w, showPreview);
}

void connectBatchPreview(frm员工工号统一修改& w) {
  QObject::connect(w.events, &BatchWindowEvents::previewReady, &w, showPreview);
}
