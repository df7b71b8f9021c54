#pragma once
// Where the features meet: what every new window of one feature is connected to in the others
// (the old/new table and the lists to the export window, a computed preview to the preview
// window). The one place they are connected.

// Every working window made from now on gets its connections. Called once at start-up (and by
// tests and tools whose windows are to meet as in the program).
void wireFeatures();
// Only the journal window's connections (its list to the export window).
void wireJournal();
