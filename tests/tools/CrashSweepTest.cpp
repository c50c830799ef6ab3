// The console runner killed at points spread over the saves and deletions of its runs (told by the store's
// journal growing), each time from the same start, then run
// cleanly: a save the store acknowledged survives the kill (the stand-in keeps a journal as a real store
// keeps its file), and the add-in's own journal and copy marks let the clean run take up where the kill
// left it. Two kinds of run are killed: first synchronizations, and runs that carry edits, new items,
// deletions and conflicts in both directions. After the clean run both folders hold exactly what the
// user made: no duplicate, no lost item, no lost change, and the clean run reports no error.
//
// The suite runs a short form; `scripts/crash-sweep` runs the full one (ZX_CRASH_SWEEP=full: larger
// folders, more kills).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Standin.h"
#include "SyncrunProcess.h"
#include "support/TempDir.h"

namespace {

const char kCalendar1[] = "Personal Folders\\Calendar";
const char kCalendar2[] = "Mailbox - Ann Example\\Calendar";
const int kGroups = 10;

// How big the folders are and how many kills each group makes of each kind of run.
struct SweepSize {
    int itemsPerFolder, trialsPerKind;
    int edits, added, deleted, conflicts; // per folder, in the run that carries changes
};

SweepSize Size() {
    const char* mode = std::getenv("ZX_CRASH_SWEEP");
    if (mode && std::string(mode) == "full") return {2500, 3, 250, 250, 150, 50};
    return {400, 1, 40, 40, 25, 10};
}

// A started syncrun whose output goes nowhere.
class SyncrunChild {
public:
    explicit SyncrunChild(const std::vector<std::string>& args) {
        std::string command = QuoteArgument(SYNCRUN_EXE);
        for (const std::string& a : args) command += " " + QuoteArgument(a);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
        HANDLE out = INVALID_HANDLE_VALUE;
        DuplicateHandle(GetCurrentProcess(), nul, GetCurrentProcess(), &out, 0, TRUE, DUPLICATE_SAME_ACCESS);
        startup.hStdOutput = out;
        startup.hStdError = out;
        m_started =
            CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &m_process);
        CloseHandle(out);
        CloseHandle(nul);
    }
    ~SyncrunChild() {
        if (!m_started) return;
        WaitForSingleObject(m_process.hProcess, 60000);
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    SyncrunChild(const SyncrunChild&) = delete;
    SyncrunChild& operator=(const SyncrunChild&) = delete;

    bool Started() const { return m_started; }
    // Waits up to `ms`; true when the process has ended.
    bool Ended(DWORD ms) const { return !m_started || WaitForSingleObject(m_process.hProcess, ms) != WAIT_TIMEOUT; }
    void Kill() const { TerminateProcess(m_process.hProcess, 9); }

private:
    PROCESS_INFORMATION m_process{};
    BOOL m_started = FALSE;
};

uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A whole run, watched: the most its store journal held (every change the run saved or deleted is in
// it until the run folds it into the profile at its end).
uint64_t JournalOfAWholeRun(const std::vector<std::string>& args, const std::string& journal) {
    SyncrunChild child(args);
    uint64_t most = 0;
    while (child.Started() && !child.Ended(1)) most = std::max(most, FileSize(journal));
    return most;
}

// Starts syncrun and kills it once its store journal holds `bytes` (the run is saving or deleting items
// then). True when the kill landed before the run ended.
bool KillSyncrunWhenJournalHolds(const std::vector<std::string>& args, const std::string& journal, uint64_t bytes) {
    SyncrunChild child(args);
    while (child.Started() && !child.Ended(0)) {
        if (FileSize(journal) >= bytes) {
            child.Kill();
            return true;
        }
        Sleep(0);
    }
    return false;
}

using Contents = std::multiset<std::string>;

// Subject and body of every item of a folder, duplicates included.
Contents ContentsOf(const std::string& path) {
    Contents contents;
    for (const standin::ItemView& item : standin::Items(standin::FolderByPath(path))) {
        const auto body = item.props.find(PR_BODY_A);
        contents.insert(item.subject + "|" + (body == item.props.end() ? std::string() : body->second.s));
    }
    return contents;
}

// The folders as a profile file and the journal beside it hold them.
bool LoadFolders(const std::string& profile, Contents& left, Contents& right, std::string& error) {
    if (!standin::LoadProfile(profile, &error)) return false;
    if (!standin::ReplayJournal(profile + ".journal", &error)) return false;
    left = ContentsOf(kCalendar1);
    right = ContentsOf(kCalendar2);
    return true;
}

void CopyFolderFiles(const std::string& from, const std::string& to) {
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyFolderFiles(from + "\\" + name, to + "\\" + name);
        else
            CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Where one kind of run starts from (profile file and the add-in's data folder) and what both folders
// must hold once it is done.
struct Start {
    std::string name, profile, data;
    Contents expected;
};

// What went wrong in the kills of one kind.
struct Tally {
    int kills = 0, landed = 0, midWork = 0, duplicates = 0, losses = 0, lostChanges = 0, alarms = 0;
    std::vector<std::string> faults;
};

class CrashSweep : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        m_size = Size();
        m_profile = m_dir / "world.profile";
        m_data = m_dir / "data";
        m_base = {"--data-folder", m_data, m_profile};
    }
    std::vector<std::string> Args(std::vector<std::string> more) const {
        more.insert(more.begin(), m_base.begin(), m_base.end());
        return more;
    }
    // Puts the profile, its (absent) journal and the data folder as they are at `start`.
    void Restore(const Start& start) {
        ASSERT_TRUE(CopyFileA(start.profile.c_str(), m_profile.c_str(), FALSE));
        DeleteFileA((m_profile + ".journal").c_str());
        TempDir::RemoveTree(m_data);
        CopyFolderFiles(start.data, m_data);
    }
    // The first synchronization's start: originals on both sides, the pair configured, no state.
    Start FirstSync(const std::string& tag) {
        Start start{"first synchronization", m_dir / (tag + ".profile"), m_dir / (tag + "-data"), {}};
        standin::Reset("Crash");
        standin::StoreSpec personal;
        personal.isDefault = true;
        standin::AddStore(personal);
        standin::StoreSpec mailbox;
        mailbox.displayName = "Mailbox - Ann Example";
        mailbox.kind = standin::ProviderKind::Other;
        mailbox.subtreeName = "Top of Information Store";
        standin::AddStore(mailbox);
        for (const char* path : {kCalendar1, kCalendar2}) {
            const standin::Bytes folder = standin::FolderByPath(path);
            for (int k = 0; k < m_size.itemsPerFolder; ++k) {
                const std::string subject = std::string(path == kCalendar1 ? "Left " : "Right ") + std::to_string(k);
                EXPECT_FALSE(standin::AddItem(folder, subject, {{PR_BODY_A, standin::Value::String("body")}}).empty());
                start.expected.insert(subject + "|body");
            }
        }
        std::string error;
        EXPECT_TRUE(standin::SaveProfile(start.profile, &error)) << error;
        CreateDirectoryA(start.data.c_str(), nullptr);
        EXPECT_TRUE(CopyFileA(start.profile.c_str(), m_profile.c_str(), FALSE));
        EXPECT_EQ(RunSyncrun(Args({"add-pair", kCalendar1, kCalendar2}), m_dir).exitCode, 0u);
        CopyFolderFiles(m_data, start.data);
        return start;
    }
    // After a clean first synchronization, a user's changes on both sides: edits, new items, deletions
    // and conflicts (the same item edited on both sides; the later edit, made in folder 2, wins).
    Start Changes(const Start& first, const std::string& tag) {
        Start start{"run carrying changes", m_dir / (tag + ".profile"), m_dir / (tag + "-data"), first.expected};
        Restore(first);
        EXPECT_EQ(RunSyncrun(Args({"run"}), m_dir).exitCode, 0u);
        std::string error;
        EXPECT_TRUE(standin::LoadProfile(m_profile, &error)) << error;
        const standin::Bytes left = standin::FolderByPath(kCalendar1), right = standin::FolderByPath(kCalendar2);
        auto item = [](const standin::Bytes& folder, const std::string& subject) {
            return standin::FindItemBySubject(folder, subject);
        };
        auto edit = [&](const standin::Bytes& folder, const std::string& subject, const std::string& body) {
            EXPECT_TRUE(standin::EditItem(item(folder, subject), {{PR_BODY_A, standin::Value::String(body)}}));
            start.expected.erase(start.expected.find(subject + "|body"));
            start.expected.insert(subject + "|" + body);
        };
        int k = 0;
        // Edits of originals and of copies, on both sides.
        for (int n = 0; n < m_size.edits; ++n, ++k) {
            edit(left, (n % 2 ? "Right " : "Left ") + std::to_string(k), "edited left");
            edit(right, (n % 2 ? "Left " : "Right ") + std::to_string(k), "edited right");
        }
        for (int n = 0; n < m_size.conflicts; ++n, ++k) {
            const std::string subject = "Left " + std::to_string(k);
            EXPECT_TRUE(standin::EditItem(item(left, subject), {{PR_BODY_A, standin::Value::String("loses")}}));
            edit(right, subject, "wins");
        }
        for (int n = 0; n < m_size.deleted; ++n, ++k) {
            for (const auto& [folder, subject] :
                 {std::make_pair(left, "Left " + std::to_string(k)), std::make_pair(right, "Right " + std::to_string(k))}) {
                EXPECT_TRUE(standin::DeleteItem(item(folder, subject)));
                start.expected.erase(start.expected.find(subject + "|body"));
            }
        }
        for (int n = 0; n < m_size.added; ++n) {
            for (const auto& [folder, subject] :
                 {std::make_pair(left, "New left " + std::to_string(n)), std::make_pair(right, "New right " + std::to_string(n))}) {
                EXPECT_FALSE(standin::AddItem(folder, subject, {{PR_BODY_A, standin::Value::String("new")}}).empty());
                start.expected.insert(subject + "|new");
            }
        }
        EXPECT_TRUE(standin::SaveProfile(start.profile, &error)) << error;
        CreateDirectoryA(start.data.c_str(), nullptr);
        CopyFolderFiles(m_data, start.data);
        return start;
    }

    // Kills `trials` runs from `start` at points spread over the saves and deletions of a whole run
    // (shifted per group), each followed by a clean run, and checks every outcome.
    void Sweep(const Start& start, int trials, Tally& tally) {
        Restore(start);
        const std::string journal = m_profile + ".journal";
        const uint64_t whole = JournalOfAWholeRun(Args({"run"}), journal);
        ASSERT_GT(whole, 0u) << "the run saved nothing";
        Contents before;
        {
            Restore(start);
            Contents right;
            std::string error;
            ASSERT_TRUE(LoadFolders(m_profile, before, right, error)) << error;
            for (const std::string& item : right) before.insert(item);
        }
        for (int t = 0; t < trials; ++t) {
            const int point = GetParam() + t * kGroups; // 0 .. kGroups * trials - 1
            const uint64_t bytes = whole * static_cast<uint64_t>(point + 1) / (kGroups * trials + 1);
            Restore(start);
            ++tally.kills;
            if (KillSyncrunWhenJournalHolds(Args({"run"}), journal, bytes)) ++tally.landed;
            // Whether the kill fell while items were copied or deleted: the folders are no longer as
            // they were, nor yet as they will be.
            Contents left, right;
            std::string error;
            ASSERT_TRUE(LoadFolders(m_profile, left, right, error)) << error;
            Contents both = left;
            both.insert(right.begin(), right.end());
            if (both != before && !(left == start.expected && right == start.expected)) ++tally.midWork;

            const SyncrunOutcome clean = RunSyncrun(Args({"run"}), m_dir);
            const std::string trial = start.name + ", kill at " + std::to_string(bytes) + " journal bytes";
            if (clean.exitCode != 0 || clean.out.find("[error]") != std::string::npos) {
                ++tally.alarms;
                tally.faults.push_back(trial + ": the clean run said\n" + clean.out + clean.err);
            }
            ASSERT_TRUE(LoadFolders(m_profile, left, right, error)) << error;
            for (const Contents* folder : {&left, &right}) {
                for (const std::string& item : start.expected) {
                    const size_t n = folder->count(item);
                    if (n > 1) {
                        ++tally.duplicates;
                        tally.faults.push_back(trial + ": " + item + " " + std::to_string(n) + " times");
                    }
                    if (n == 0) {
                        // The subject there with another body is a lost change, otherwise a lost item.
                        const std::string subject = item.substr(0, item.find('|'));
                        bool changed = false;
                        for (const std::string& other : *folder) changed = changed || other.rfind(subject + "|", 0) == 0;
                        ++(changed ? tally.lostChanges : tally.losses);
                        tally.faults.push_back(trial + ": " + item + (changed ? " changed back" : " lost"));
                    }
                }
                for (const std::string& item : *folder)
                    if (!start.expected.count(item)) {
                        ++tally.duplicates;
                        tally.faults.push_back(trial + ": " + item + " should not be there");
                    }
            }
        }
    }

    TempDir m_dir;
    SweepSize m_size{};
    std::string m_profile, m_data;
    std::vector<std::string> m_base;
};

TEST_P(CrashSweep, KilledRunsLeaveNoDuplicateNoLossAndNoLostChange) {
    const Start first = FirstSync("first");
    const Start changes = Changes(first, "changes");
    if (HasFatalFailure()) return;
    Tally tally;
    Sweep(first, m_size.trialsPerKind, tally);
    Sweep(changes, m_size.trialsPerKind, tally);
    std::printf("[ crashes  ] group %d: %d kills (%d items a folder), %d landed mid-run, %d while items were "
                "copied or deleted; %d duplicates, %d lost items, %d lost changes, %d clean runs that reported "
                "an error\n",
                GetParam(), tally.kills, m_size.itemsPerFolder, tally.landed, tally.midWork, tally.duplicates,
                tally.losses, tally.lostChanges, tally.alarms);
    std::string text;
    for (const std::string& fault : tally.faults) text += fault + "\n";
    EXPECT_GE(tally.landed, 1) << "the kills must land while the run works";
    EXPECT_EQ(0, tally.duplicates) << text;
    EXPECT_EQ(0, tally.losses) << text;
    EXPECT_EQ(0, tally.lostChanges) << text;
    EXPECT_EQ(0, tally.alarms) << text;
}

INSTANTIATE_TEST_SUITE_P(Groups, CrashSweep, ::testing::Range(0, kGroups));

} // namespace
