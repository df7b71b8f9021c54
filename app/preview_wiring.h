#pragma once
// "影响预览" of the single renumber window: the preview it computes is shown in the shared preview
// window (non-modal, beside the renumber window), and the script header names the server, database
// and login of the settings the tool connected with.

class frm员工Kestrune;

// Wires one single renumber window's showPreview and scriptOrigin (wireFeatures does so for every
// new one); a second call changes nothing.
void connectSinglePreview(frm员工Kestrune& w);
