#pragma once
// "影响预览" of the single renumber window: the preview it computes is shown in the shared preview
// window (non-modal, beside the renumber window); the script header names the server, database and
// login of the window's session.

class frm员工Kestrune;
class frm员工工号统一修改;

// Wires one single renumber window's showPreview (wireFeatures does so for every
// new one); a second call changes nothing.
void connectSinglePreview(frm员工Kestrune& w);
// The same for the batch window's "影响预览" (the preview of the apply, one line per row).
void connectBatchPreview(frm员工工号统一修改& w);
