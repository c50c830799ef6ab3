// syncrun: the add-in's synchronization run and its configuration steps as a console program over a
// stand-in MAPI profile file, for scenarios, the demo and manual checks. Not part of the add-in.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "Commands.h"
#include "PropText.h"
#include "base/Errors.h"
#include "engine/StatusWindow.h"

namespace syncrun {

void Complain(const std::string& text) {
    const std::string line = "syncrun: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace syncrun

namespace {

using namespace syncrun;

const char kHelp[] =
    "usage: syncrun [--data-folder <dir>] <profile-file> <command> [arguments]\n"
    "       syncrun [--data-folder <dir>] [<profile-file>] paths\n"
    "\n"
    "<profile-file> is a stand-in MAPI profile (standin/mapi/README.md). Folder paths are written as\n"
    "Outlook shows them: \"Store name\\Folder\\Sub\".\n"
    "\n"
    "commands:\n"
    "  add-pair \"<folder 1>\" \"<folder 2>\"\n"
    "        adds a folder pair to the profile's settings file, with the pair dialog's checks\n"
    "  pairs\n"
    "        lists the configured pairs in order\n"
    "  run [--fresh-log] [--confirm-deletions] [--hold-open \"<folder>\" \"<subject>\"] ...\n"
    "      [--edit-during-copy \"<folder>\" \"<subject>\" name=value] ...\n"
    "        synchronizes every pair as the progress window does; prints each report line as the window\n"
    "        shows it (error lines start with \"[error] \") and logs it as the window does; then saves the\n"
    "        profile file. The log is appended to; --fresh-log recreates it, as the add-in does when\n"
    "        Outlook starts. --hold-open keeps the item open in an Outlook window during the run (it\n"
    "        cannot be deleted then); --edit-during-copy has another user save that change to the item\n"
    "        just before the run saves its first copy. Deletions that would empty most of a folder,\n"
    "        which the progress window asks about, are held with an error line and a question printed\n"
    "        as \"[question] ...\", unless --confirm-deletions answers yes.\n"
    "  dump \"<folder>\"\n"
    "        prints every item: subject, modification time and its other properties, sorted; its\n"
    "        recipients (\"To: name <address>\") and attachments (\"attachment: file (size)\")\n"
    "  add-item \"<folder>\" \"<subject>\" [name=value ...]\n"
    "  edit-item \"<folder>\" \"<subject>\" [name=value ...]\n"
    "  delete-item \"<folder>\" \"<subject>\"\n"
    "        a user's changes in Outlook; an edit moves the item's modification time even when it\n"
    "        changes nothing; an empty value removes a property. The profile file is saved.\n"
    "  move-item \"<folder>\" \"<subject>\" \"<to folder>\"\n"
    "        moves the item within its store, as Outlook's Delete does when it moves an item to\n"
    "        \"Deleted Items\" (a personal folders file keeps its ids, an Exchange mailbox gives new ones)\n"
    "  add-attachment \"<folder>\" \"<subject>\" \"<file name>\" [\"<text>\"]\n"
    "  remove-attachment \"<folder>\" \"<subject>\" \"<file name>\"\n"
    "        a user attaches a file (with the text as its content) or removes one, and saves the item\n"
    "  hide-items \"<folder>\" [all | <number> | \"<subject>\" ...]\n"
    "  show-items \"<folder>\"\n"
    "        a cached store still downloading: hidden items (all, the first <number> in table order, or\n"
    "        those named) are missing from the folder's table and cannot be opened until they are\n"
    "        shown again; dump counts them apart\n"
    "  paths\n"
    "        where the log, the settings and the caches are (Windows paths, and host paths under Wine)\n"
    "\n"
    "options:\n"
    "  --data-folder <dir>   keep log, settings and caches in <dir> instead of the add-in data folder\n"
    "                        (%APPDATA%\\ZxBrackenmeadowSyncAddin); for tests\n"
    "  --fresh-log           see run\n"
    "  --confirm-deletions   see run\n"
    "  --help                this text\n"
    "\n"
    "property names: %NAMES%, or a property tag such as 0x1000001E;\n"
    "times as YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS] (UTC)\n"
    "\n"
    "exit codes: 0 done (run: no error line); 1 run reported an error line, or the command was refused\n"
    "or named a folder or item that is not there; 2 wrong usage or an unreadable profile file\n";

void PrintHelp(std::FILE* out) {
    std::string text = kHelp;
    const std::string marker = "%NAMES%";
    text.replace(text.find(marker), marker.size(), KnownNames());
    std::fwrite(text.data(), 1, text.size(), out);
}

struct Command {
    const char* name;
    int (*handler)(const Options&);
};

const Command kCommands[] = {
    {"add-pair", AddPair},
    {"pairs", ListPairs},
    {"run", Run},
    {"dump", Dump},
    {"add-item", AddItem},
    {"edit-item", EditItem},
    {"delete-item", DeleteItem},
    {"move-item", MoveItem},
    {"add-attachment", AddAttachment},
    {"remove-attachment", RemoveAttachment},
    {"hide-items", HideItems},
    {"show-items", ShowItems},
    {"paths", ShowPaths},
};

const Command* FindCommand(const std::string& name) {
    for (const Command& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

// Options may stand anywhere; the first two other words are the profile file and the command ("paths"
// may come first).
int Parse(int argc, char** argv, Options& options) {
    std::vector<std::string> words;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            PrintHelp(stdout);
            return -1;
        }
        if (arg == "--fresh-log") {
            options.freshLog = true;
        } else if (arg == "--hold-open") {
            if (k + 2 >= argc) {
                Complain("--hold-open needs a folder and a subject");
                return kExitUsage;
            }
            options.holdOpen.push_back({argv[k + 1], argv[k + 2]});
            k += 2;
        } else if (arg == "--edit-during-copy") {
            if (k + 3 >= argc) {
                Complain("--edit-during-copy needs a folder, a subject and name=value");
                return kExitUsage;
            }
            options.editsDuringCopy.push_back({{argv[k + 1], argv[k + 2]}, argv[k + 3]});
            k += 3;
        } else if (arg == "--confirm-deletions") {
            options.confirmDeletions = true;
        } else if (arg == "--data-folder") {
            if (k + 1 >= argc) {
                Complain("--data-folder needs a folder");
                return kExitUsage;
            }
            options.dataFolder = argv[++k];
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            Complain("unknown option " + arg);
            return kExitUsage;
        } else {
            words.push_back(arg);
        }
    }
    if (!words.empty() && words[0] == "paths") {
        options.command = "paths";
        options.args.assign(words.begin() + 1, words.end());
    } else if (words.size() >= 2) {
        options.profileFile = words[0];
        options.command = words[1];
        options.args.assign(words.begin() + 2, words.end());
    } else {
        PrintHelp(stderr);
        return kExitUsage;
    }
    if ((options.freshLog || options.confirmDeletions || !options.holdOpen.empty() ||
         !options.editsDuringCopy.empty()) &&
        options.command != "run") {
        Complain("--fresh-log, --confirm-deletions, --hold-open and --edit-during-copy belong to run");
        return kExitUsage;
    }
    return kExitOk;
}

// A console program must not stop at a message box nobody sees (the settings' reinstall notice):
// the box's text is printed instead and answered with OK.
int PrintMessageBox(HWND, const char* text, const char* caption, unsigned) {
    std::printf("[message box] %s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stdout);
    return IDOK;
}

} // namespace

int main(int argc, char** argv) {
    Error::SetMessageBoxHandler(PrintMessageBox);
    // Lines end in LF alone, whatever the output is.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    try {
        Options options;
        if (int rc = Parse(argc, argv, options)) return rc < 0 ? kExitOk : rc;
        const Command* command = FindCommand(options.command);
        if (!command) {
            Complain("unknown command '" + options.command + "' (syncrun --help lists them)");
            return kExitUsage;
        }
        return command->handler(options);
    } catch (const Error::ZxException& e) {
        Complain(e.GetErrorText());
    } catch (const CAbortException&) {
        Complain("interrupted");
    } catch (const std::exception& e) {
        Complain(e.what());
    } catch (...) {
        Complain("unexpected failure");
    }
    return kExitFailed;
}
