#pragma once
// The change journal: every change the tool commits, with who made it, where it went, the old ->
// new pairs, the rows changed per column and the statement text sent. Its entries
// (journal_entry.h), its store (journal_store.h) and the recorder the change runner uses
// (journal_recorder.h); the undo of an entry is journal_ops.h.
#include "core/journal/journal_entry.h"
#include "core/journal/journal_recorder.h"
#include "core/journal/journal_store.h"
