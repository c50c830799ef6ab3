// The console runner killed at 30 points spread over a first synchronization of 5 000 items, each time from
// the same start, then run cleanly: a save the store acknowledged survives the kill (the stand-in keeps
// a journal as a real store keeps its file), so nothing is lost and both folders end up equal; copies
// made before the kill come back only as the first-synchronization rule makes them.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
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
const int kItemsPerFolder = 2500;
// 30 kills in all, in groups that each fit one test program's time: group g kills at the points
// g + 1, g + 1 + kGroups, ... of kTrials + 1 equal steps over the run.
const int kGroups = 10;
const int kTrialsPerGroup = 3;
const int kTrials = kGroups * kTrialsPerGroup;

// Starts syncrun with the arguments, waits `delayMs`, and kills it when it is still running. True when
// the kill landed (the run had not finished).
bool KillSyncrunAfter(const std::vector<std::string>& args, DWORD delayMs) {
    std::string command = QuoteArgument(SYNCRUN_EXE);
    for (const std::string& a : args) command += " " + QuoteArgument(a);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    HANDLE nul =
        CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = INVALID_HANDLE_VALUE;
    DuplicateHandle(GetCurrentProcess(), nul, GetCurrentProcess(), &out, 0, inherit.bInheritHandle,
                    DUPLICATE_SAME_ACCESS);
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(out);
    CloseHandle(nul);
    if (!started) return false;
    const bool landed = WaitForSingleObject(process.hProcess, delayMs) == WAIT_TIMEOUT;
    if (landed) TerminateProcess(process.hProcess, 9);
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return landed;
}

// Subject and body of every item of a folder, duplicates included.
std::multiset<std::string> Contents(const std::string& path) {
    std::multiset<std::string> contents;
    for (const standin::ItemView& item : standin::Items(standin::FolderByPath(path))) {
        const auto body = item.props.find(PR_BODY_A);
        contents.insert(item.subject + "|" + (body == item.props.end() ? std::string() : body->second.s));
    }
    return contents;
}

class CrashSweep : public ::testing::TestWithParam<int> {};

TEST_P(CrashSweep, KilledRunsLoseNothingAndACleanRunMakesTheFoldersEqual) {
    const int group = GetParam();
    TempDir dir;
    const std::string pristine = dir / "pristine.profile";
    const std::string profile = dir / "world.profile";
    const std::string data = dir / "data";
    std::set<std::string> originals;
    {
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
            for (int k = 0; k < kItemsPerFolder; ++k) {
                const std::string subject = std::string(path == kCalendar1 ? "Left " : "Right ") + std::to_string(k);
                ASSERT_FALSE(standin::AddItem(folder, subject, {{PR_BODY_A, standin::Value::String("body")}}).empty());
                originals.insert(subject + "|body");
            }
        }
        std::string error;
        ASSERT_TRUE(standin::SaveProfile(pristine, &error)) << error;
    }
    const std::vector<std::string> base = {"--data-folder", data, profile};
    auto args = [&](std::vector<std::string> more) {
        more.insert(more.begin(), base.begin(), base.end());
        return more;
    };
    ASSERT_TRUE(CopyFileA(pristine.c_str(), profile.c_str(), FALSE));
    ASSERT_EQ(RunSyncrun(args({"add-pair", kCalendar1, kCalendar2}), dir).exitCode, 0u);

    // How long a whole first run takes here: the kills are spread over it.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(RunSyncrun(args({"run"}), dir).exitCode, 0u);
    const auto full = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    const DWORD span = static_cast<DWORD>(full.count());

    int landed = 0, losses = 0, divergences = 0, duplicates = 0, mergedAgain = 0;
    std::vector<std::string> faults;
    for (int k = 0; k < kTrialsPerGroup; ++k) {
        const int trial = group + k * kGroups;
        // The same start each time: the untouched profile, no journal, no caches (settings stay).
        ASSERT_TRUE(CopyFileA(pristine.c_str(), profile.c_str(), FALSE));
        DeleteFileA((profile + ".journal").c_str());
        TempDir::RemoveTree(data + "\\Cache");
        // Points spread evenly over the run, from its start to its very end.
        const DWORD delay = static_cast<DWORD>(static_cast<unsigned long long>(span) * (trial + 1) / (kTrials + 1));
        if (KillSyncrunAfter(args({"run"}), delay)) ++landed;
        // The clean run reports nothing, except when the kill fell between the saves of the two caches:
        // then it says that one direction's state is missing and merges both folders again.
        const SyncrunOutcome clean = RunSyncrun(args({"run"}), dir);
        bool merged = false;
        for (const std::string& line : Lines(clean.out)) {
            if (line.rfind("[error] ", 0) != 0) continue;
            EXPECT_EQ(line.rfind("[error] The synchronization state of folder '", 0), 0u) << "trial " << trial;
            merged = true;
        }
        EXPECT_EQ(clean.exitCode, merged ? 1u : 0u) << "trial " << trial << ": " << clean.out << clean.err;
        if (merged) ++mergedAgain;

        std::string error;
        ASSERT_TRUE(standin::LoadProfile(profile, &error)) << error;
        const std::multiset<std::string> left = Contents(kCalendar1);
        const std::multiset<std::string> right = Contents(kCalendar2);
        for (const std::string& item : originals) {
            if (!left.count(item) || !right.count(item)) {
                ++losses;
                faults.push_back("trial " + std::to_string(trial) + ": " + item + " lost");
                break;
            }
        }
        if (left != right) {
            ++divergences;
            faults.push_back("trial " + std::to_string(trial) + ": the folders differ");
        }
        if (left.size() > originals.size()) ++duplicates;
    }
    std::printf(
        "[ crashes  ] group %d: %d trials over a %lu ms run, %d kills landed mid-run, %d losses, "
        "%d divergences, %d trials with first-synchronization duplicates, %d reported lost state and "
        "merged again\n",
        group, kTrialsPerGroup, static_cast<unsigned long>(span), landed, losses, divergences, duplicates, mergedAgain);
    // The later points lie near the run's end, where a run on a less loaded machine may have finished;
    // the first point of every group lies early in the run.
    EXPECT_GE(landed, 1) << "the kills must land while the run works";
    std::string text;
    for (const std::string& fault : faults) text += fault + "\n";
    EXPECT_EQ(0, losses) << text;
    EXPECT_EQ(0, divergences) << text;
}

INSTANTIATE_TEST_SUITE_P(Groups, CrashSweep, ::testing::Range(0, kGroups));

} // namespace
