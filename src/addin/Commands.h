#pragma once
// The add-in's two commands, as the ribbon, the toolbar button and the Tools menu item start them. Each
// is an entry point of its own: it reports its own failures (log and box) and never throws.

namespace Commands {

// Runs every configured pair in the progress window; with no pair configured yet, the options sheet
// comes first and the run starts only when the user confirms it.
void Synchronize();
// Shows the options sheet.
void Options();

} // namespace Commands
