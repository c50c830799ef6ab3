#pragma once
// What a user does in the windows the add-in opens inside the stand-in Outlook, and what a user (or a
// test) then looks at: Outlook's own frame window, buttons pressed by their captions, tree items of the
// folder picker expanded and selected by path, message boxes answered with a chosen button, Cancel after
// the n-th report line, list rows and report lines read back, pictures of windows, and checks of the
// add-in's log and settings file. Everything goes through the windows' controls by Win32 messages and
// through the files the add-in writes; nothing here calls the add-in's code.
#include <string>
#include <vector>

namespace useractions {

using Printer = void (*)(const std::string& line);

// Shows Outlook's frame window (active, so that the add-in's windows can be owned by it), installs the
// message-box hook and starts the player of queued window actions.
void Start(Printer print);
// Stops the player, removes the hook and closes the frame window.
void Stop();

enum class StepResult { NotMine, Done, BadArgument };
// Plays or queues one step of this file ("press:...", "log-has:..."); NotMine when the verb is none of them.
StepResult PlayStep(const std::string& verb, const std::string& arg);

// The first window action (or box answer) that was never played, "" when all were.
std::string FirstUnplayed();
// Checks (log-has, settings-pairs, ...) that failed so far.
int FailedChecks();

// Replaces each "--scenario <file>" of args by the file's lines: one step per line, "--option value"
// lines as options; blank lines and lines starting with '#' are skipped. False (with error) when a file
// cannot be read.
bool ExpandScenarioFiles(std::vector<std::string>& args, std::string& error);

// Usage lines of the steps of this file.
extern const char kUsage[];

} // namespace useractions
