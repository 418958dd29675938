#pragma once

// Screen readers see the transcript's painted rows as the items of a list: each row on screen
// is an item named with the row's spoken sentence (the model's Qt::AccessibleTextRole).
// Installs itself once; TranscriptListView calls it.
void installTranscriptAccessibility();
