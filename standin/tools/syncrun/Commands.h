#pragma once
// The commands of syncrun. Each returns the process exit code:
//   0  done (for "run": no error line was reported)
//   1  "run" reported an error line, or the command was refused or named a folder or item that is not there
//   2  wrong usage, or the profile file could not be loaded or saved
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "Standin.h"

namespace syncrun {

enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct Options {
    std::string dataFolder; // --data-folder: a private stand-in for the add-in data folder
    bool freshLog = false; // --fresh-log: "run" recreates the log as the add-in does at start-up
    bool confirmDeletions = false; // --confirm-deletions: "run" answers yes where the window would ask
    std::string profileFile; // empty for "paths" without a profile
    std::string command;
    std::vector<std::string> args; // what follows the command
    // run: what another Outlook user does during the run.
    struct ItemRef {
        std::string folder, subject;
    };
    std::vector<ItemRef> holdOpen; // --hold-open: kept open for writing in an Outlook window
    struct Edit {
        ItemRef item;
        std::string assignment; // name=value
    };
    std::vector<Edit> editsDuringCopy; // --edit-during-copy: saved just before the run saves its first copy
};

int AddPair(const Options& options);
int ListPairs(const Options& options);
int Run(const Options& options);
int Dump(const Options& options);
int AddItem(const Options& options);
int EditItem(const Options& options);
int DeleteItem(const Options& options);
int MoveItem(const Options& options);
int AddAttachment(const Options& options);
int RemoveAttachment(const Options& options);
int HideItems(const Options& options);
int ShowItems(const Options& options);
int ShowPaths(const Options& options);

// Prints `text` and a line break to standard error, prefixed with "syncrun: ".
void Complain(const std::string& text);

// The name=value properties of args[first...] into `out` (an empty value: PT_NULL, which removes);
// false after complaining about the first bad one.
bool ParseChanges(const std::vector<std::string>& args, size_t first, std::map<ULONG, standin::Value>& out);

} // namespace syncrun
