// Scenarios through the console runner, each command a process of its own as in the demo: the profile
// file carries the folders from one command to the next, the private data folder the settings, the
// caches and the log.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Standin.h"
#include "SyncrunProcess.h"
#include "support/TempDir.h"

namespace {

const char kCalendar1[] = "Personal Folders\\Calendar";
const char kCalendar2[] = "Mailbox - Ann Example\\Calendar";
const char kContacts1[] = "Personal Folders\\Contacts";
const char kContacts2[] = "Mailbox - Ann Example\\Contacts";

// The report of one pair as the progress window shows it.
std::vector<std::string> PairReport(const std::string& name1, const std::string& name2, int changes1, int deletions1,
                                    int changes2, int deletions2) {
    auto summary = [](int changes, int deletions, const std::string& name) {
        return std::to_string(changes) + " items changed, " + std::to_string(deletions) + " deleted in folder '" +
               name + "'.";
    };
    return {"Synchronization of folders: '" + name1 + "' with '" + name2 + "'",
            "Scanning folder '" + name1 + "'.",
            "Scanning folder '" + name2 + "'.",
            "Searching for conflicts.",
            "Synchronization of changed items.",
            "Synchronization of deleted items.",
            "Synchronization complete.",
            summary(changes1, deletions1, name1),
            summary(changes2, deletions2, name2),
            "",
            ""};
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A dump's items, each with its property lines, without the modification time: an item and its copy
// differ in nothing else that a user sees.
std::vector<std::string> Contents(const std::string& dump) {
    std::vector<std::string> items;
    std::vector<std::string> lines = Lines(dump);
    for (size_t k = 1; k < lines.size(); ++k) {
        std::string line = lines[k];
        if (line.rfind("    ", 0) != 0) {
            const size_t cut = line.find("  modified ");
            items.push_back(line.substr(0, cut));
        } else if (!items.empty()) {
            items.back() += "\n" + line;
        }
    }
    std::sort(items.begin(), items.end());
    return items;
}

std::vector<std::string> Subjects(const std::string& dump) {
    std::vector<std::string> subjects;
    for (const std::string& item : Contents(dump)) subjects.push_back(item.substr(0, item.find('\n')));
    return subjects;
}

int Count(const std::string& text, const std::string& piece) {
    int n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

class SyncrunScenario : public ::testing::Test {
protected:
    void SetUp() override {
        standin::Reset("Scenario");
        standin::StoreSpec personal;
        personal.displayName = "Personal Folders";
        personal.isDefault = true;
        standin::AddStore(personal);
        standin::StoreSpec mailbox;
        mailbox.displayName = "Mailbox - Ann Example";
        mailbox.ownerName = "Ann Example";
        mailbox.kind = standin::ProviderKind::Other;
        mailbox.subtreeName = "Top of Information Store";
        standin::AddStore(mailbox);
        Add(kCalendar1, "Dentist", "IPM.Appointment", "Bring the forms");
        Add(kCalendar1, "Team lunch", "IPM.Appointment", "Canteen");
        Add(kCalendar2, "Flight to Oslo", "IPM.Appointment", "SK 4711");
        Add(kCalendar2, "Gym", "IPM.Appointment", "Bring shoes");
        Add(kContacts1, "Bob Builder", "IPM.Contact", "Met at the fair");
        Add(kContacts2, "Carol Jones", "IPM.Contact", "Accountant");
        std::string error;
        ASSERT_TRUE(standin::SaveProfile(m_profile, &error)) << error;
    }

    static void Add(const char* folder, const char* subject, const char* messageClass, const char* body) {
        standin::ItemSpec descr;
        descr.subject = subject;
        descr.messageClass = messageClass;
        descr.props[PR_BODY_A] = standin::Value::String(body);
        ASSERT_FALSE(standin::AddItem(standin::FolderByPath(folder), descr).empty()) << folder;
    }

    // syncrun with the scenario's data folder and profile.
    SyncrunOutcome Syncrun(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-folder", m_data, m_profile});
        return RunSyncrun(args, m_dir);
    }

    std::string Dump(const char* folder) {
        const SyncrunOutcome dump = Syncrun({"dump", folder});
        EXPECT_EQ(dump.exitCode, 0u) << dump.err;
        return dump.out;
    }

    void AddPair(const char* folder1, const char* folder2) {
        const SyncrunOutcome added = Syncrun({"add-pair", folder1, folder2});
        ASSERT_EQ(added.exitCode, 0u) << added.out << added.err;
    }

    std::string ReadLog() {
        std::string text;
        ReadWholeFile(m_data + "\\ZxBrackenmeadowSyncAddin.log", text);
        return text;
    }

    TempDir m_dir;
    const std::string m_profile = m_dir / "world.profile";
    const std::string m_data = m_dir / "data";
};

TEST_F(SyncrunScenario, FirstRunGivesEachFolderTheItemsOfBoth) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);

    const SyncrunOutcome run = Syncrun({"run"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(Lines(run.out),
              Concat(PairReport(kCalendar1, kCalendar2, 2, 0, 2, 0), PairReport(kContacts1, kContacts2, 1, 0, 1, 0)));

    const std::string calendar1 = Dump(kCalendar1);
    EXPECT_EQ(Subjects(calendar1),
              (std::vector<std::string>{"  \"Dentist\"", "  \"Flight to Oslo\"", "  \"Gym\"", "  \"Team lunch\""}));
    EXPECT_EQ(Contents(calendar1), Contents(Dump(kCalendar2)));
    EXPECT_EQ(Contents(Dump(kContacts1)), Contents(Dump(kContacts2)));
    EXPECT_EQ(Subjects(Dump(kContacts2)), (std::vector<std::string>{"  \"Bob Builder\"", "  \"Carol Jones\""}));
}

TEST_F(SyncrunScenario, EditsDeletionAndConflictOnBothSidesMeetAtTheSecondRun) {
    AddPair(kCalendar1, kCalendar2);
    ASSERT_EQ(Syncrun({"run"}).exitCode, 0u);

    // Folder 1: a change and a deletion; both folders: the same item changed, folder 2 last.
    EXPECT_EQ(Syncrun({"edit-item", kCalendar1, "Dentist", "body=Moved to 10:30"}).exitCode, 0u);
    EXPECT_EQ(Syncrun({"delete-item", kCalendar1, "Gym"}).exitCode, 0u);
    EXPECT_EQ(Syncrun({"edit-item", kCalendar1, "Flight to Oslo", "body=Window seat"}).exitCode, 0u);
    EXPECT_EQ(Syncrun({"edit-item", kCalendar2, "Flight to Oslo", "body=Aisle seat"}).exitCode, 0u);

    const SyncrunOutcome run = Syncrun({"run"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    // Folder 1 receives the conflict's winner; folder 2 the edit and the deletion.
    EXPECT_EQ(Lines(run.out), PairReport(kCalendar1, kCalendar2, 1, 0, 1, 1));

    const std::string calendar1 = Dump(kCalendar1);
    EXPECT_EQ(Contents(calendar1), Contents(Dump(kCalendar2)));
    EXPECT_EQ(Subjects(calendar1),
              (std::vector<std::string>{"  \"Dentist\"", "  \"Flight to Oslo\"", "  \"Team lunch\""}));
    EXPECT_NE(calendar1.find("body: \"Moved to 10:30\""), std::string::npos) << calendar1;
    EXPECT_NE(calendar1.find("body: \"Aisle seat\""), std::string::npos) << calendar1;
    EXPECT_EQ(calendar1.find("Window seat"), std::string::npos) << calendar1;

    // Nothing changed since: a run with zero counts.
    const SyncrunOutcome quiet = Syncrun({"run"});
    EXPECT_EQ(quiet.exitCode, 0u);
    EXPECT_EQ(Lines(quiet.out), PairReport(kCalendar1, kCalendar2, 0, 0, 0, 0));
}

TEST_F(SyncrunScenario, AnEditMovesTheModificationTimeAndPersistsAcrossProcesses) {
    const std::string before = Dump(kCalendar1);
    ASSERT_EQ(Syncrun({"edit-item", kCalendar1, "Team lunch", "importance=2"}).exitCode, 0u);
    const std::string after = Dump(kCalendar1);
    const auto headerOf = [](const std::string& dump) {
        const size_t at = dump.find("\"Team lunch\"");
        return dump.substr(at, dump.find('\n', at) - at);
    };
    EXPECT_NE(headerOf(before), headerOf(after));
    EXPECT_GT(headerOf(after), headerOf(before)); // same layout: the later time sorts after
    EXPECT_NE(after.find("importance: 2"), std::string::npos) << after;
}

TEST_F(SyncrunScenario, AFolderThatCannotBeOpenedIsAnErrorLineAndTheOtherPairsStillRun) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    std::string error;
    ASSERT_TRUE(standin::LoadProfile(m_profile, &error)) << error;
    standin::DeleteFolder(standin::FolderByPath(kCalendar2));
    ASSERT_TRUE(standin::SaveProfile(m_profile, &error)) << error;

    const SyncrunOutcome run = Syncrun({"run"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(Lines(run.out),
              Concat({"Synchronization of folders: 'Personal Folders\\Calendar' with 'Mailbox - Ann Example\\Calendar'",
                      "[error] Cannot open folder 'Mailbox - Ann Example\\Calendar'. Synchronization of this folder "
                      "has been interrupted."},
                     PairReport(kContacts1, kContacts2, 1, 0, 1, 0)));
    // The log holds the error as the window writes it.
    EXPECT_NE(ReadLog().find("Error: Cannot open folder 'Mailbox - Ann Example\\Calendar'."), std::string::npos);
}

TEST_F(SyncrunScenario, AttachmentsAUserAddsAndRemovesArriveExactlyAndShowAsOutlookShowsThem) {
    AddPair(kCalendar1, kCalendar2);
    ASSERT_EQ(Syncrun({"run"}).exitCode, 0u);
    ASSERT_EQ(Syncrun({"add-attachment", kCalendar1, "Dentist", "form.pdf", "scan"}).exitCode, 0u);
    ASSERT_EQ(Syncrun({"add-attachment", kCalendar1, "Dentist", "map.png", "picture"}).exitCode, 0u);
    ASSERT_EQ(Syncrun({"run"}).exitCode, 0u);
    std::string calendar2 = Dump(kCalendar2);
    EXPECT_EQ(Count(calendar2, "    attachment: form.pdf (4 bytes)\n"), 1) << calendar2;
    EXPECT_EQ(Count(calendar2, "    attachment: map.png (7 bytes)\n"), 1) << calendar2;

    // Removed on one side, one more added on the other: the copy holds exactly the changed side's.
    ASSERT_EQ(Syncrun({"remove-attachment", kCalendar1, "Dentist", "form.pdf"}).exitCode, 0u);
    EXPECT_EQ(Syncrun({"remove-attachment", kCalendar1, "Dentist", "form.pdf"}).exitCode, 1u);
    ASSERT_EQ(Syncrun({"run"}).exitCode, 0u);
    calendar2 = Dump(kCalendar2);
    EXPECT_EQ(Count(calendar2, "attachment: "), 1) << calendar2;
    EXPECT_EQ(Count(calendar2, "    attachment: map.png (7 bytes)\n"), 1) << calendar2;
    EXPECT_EQ(Contents(Dump(kCalendar1)), Contents(calendar2));
}

TEST_F(SyncrunScenario, AnItemOpenInOutlookOrSavedDuringTheRunWaitsForTheNextRun) {
    AddPair(kCalendar1, kCalendar2);
    ASSERT_EQ(Syncrun({"run"}).exitCode, 0u);

    // Deleted in folder 1 while its copy is open in an Outlook window: not deleted, and not brought back.
    ASSERT_EQ(Syncrun({"delete-item", kCalendar1, "Gym"}).exitCode, 0u);
    SyncrunOutcome run = Syncrun({"run", "--hold-open", kCalendar2, "Gym"});
    EXPECT_EQ(run.exitCode, 1u) << run.out;
    EXPECT_NE(run.out.find("[error] 1 items could not be synchronized"), std::string::npos) << run.out;
    EXPECT_NE(ReadLog().find("could not be deleted because it is open"), std::string::npos);
    EXPECT_EQ(Count(Dump(kCalendar2), "\"Gym\""), 1);
    EXPECT_EQ(Count(Dump(kCalendar1), "\"Gym\""), 0);
    run = Syncrun({"run"});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_EQ(Count(Dump(kCalendar2), "\"Gym\""), 0);

    // Another user saves the counterpart just before the run saves its copy: their change stays, and the
    // next run settles the two as a conflict (theirs is the later one).
    ASSERT_EQ(Syncrun({"edit-item", kCalendar1, "Dentist", "body=Mine"}).exitCode, 0u);
    run = Syncrun({"run", "--edit-during-copy", kCalendar2, "Dentist", "body=Theirs"});
    EXPECT_EQ(run.exitCode, 1u) << run.out;
    EXPECT_NE(ReadLog().find("was changed by someone else while it was being synchronized"), std::string::npos);
    EXPECT_EQ(Syncrun({"run"}).exitCode, 0u);
    const std::string calendar1 = Dump(kCalendar1);
    EXPECT_NE(calendar1.find("body: \"Theirs\""), std::string::npos) << calendar1;
    EXPECT_EQ(Contents(calendar1), Contents(Dump(kCalendar2)));
}

TEST_F(SyncrunScenario, TheLogIsAppendedToUnlessARunAsksForAFreshOne) {
    AddPair(kContacts1, kContacts2);
    const std::string entry = "Info: Synchronization of folders: 'Personal Folders\\Contacts'";
    ASSERT_EQ(Syncrun({"run"}).exitCode, 0u);
    ASSERT_EQ(Syncrun({"run"}).exitCode, 0u);
    EXPECT_EQ(Count(ReadLog(), entry), 2);
    EXPECT_EQ(Count(ReadLog(), "Info: 1 items changed, 0 deleted in folder 'Personal Folders\\Contacts'."), 1);

    ASSERT_EQ(Syncrun({"run", "--fresh-log"}).exitCode, 0u);
    const std::string fresh = ReadLog();
    EXPECT_EQ(Count(fresh, entry), 1);
    EXPECT_EQ(Count(fresh, "ZxBrackenmeadowSyncAddin log file."), 1) << fresh;
}

TEST_F(SyncrunScenario, SettingsAndCachesLandInTheDataFolderUnderTheProfileName) {
    AddPair(kCalendar1, kCalendar2);
    ASSERT_EQ(Syncrun({"run"}).exitCode, 0u);
    EXPECT_NE(GetFileAttributesA((m_data + "\\Settings\\Scenario\\ZxBrackenmeadowSync.settings").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((m_data + "\\Cache\\Scenario\\cache.index").c_str()), INVALID_FILE_ATTRIBUTES);

    const SyncrunOutcome paths = Syncrun({"paths"});
    EXPECT_EQ(paths.exitCode, 0u);
    EXPECT_NE(paths.out.find(m_data + "\\Settings\\Scenario\\ZxBrackenmeadowSync.settings"), std::string::npos)
        << paths.out;
    EXPECT_NE(paths.out.find(m_data + "\\Cache\\Scenario"), std::string::npos) << paths.out;
}

TEST_F(SyncrunScenario, PairsAreListedInTheOrderTheyWereAdded) {
    AddPair(kContacts1, kContacts2);
    AddPair(kCalendar2, kCalendar1);
    const SyncrunOutcome pairs = Syncrun({"pairs"});
    EXPECT_EQ(pairs.exitCode, 0u);
    EXPECT_EQ(Lines(pairs.out), (std::vector<std::string>{
                                    "1. 'Personal Folders\\Contacts' - 'Mailbox - Ann Example\\Contacts' (Contact)",
                                    "2. 'Mailbox - Ann Example\\Calendar' - 'Personal Folders\\Calendar' (Calendar)"}));
}

// A shared-folders store whose file was created anew: the settings drop its pair when they load, and
// the notice that Outlook would show in a message box is printed instead of stopping the program.
TEST_F(SyncrunScenario, APairOfARecreatedSharedStoreIsRemovedAndTheNoticeIsPrinted) {
    const std::string storeFile = m_dir / "shared.pst";
    ASSERT_TRUE(WriteWholeFile(storeFile, "pst"));
    std::string error;
    ASSERT_TRUE(standin::LoadProfile(m_profile, &error)) << error;
    standin::StoreSpec shared;
    shared.displayName = "Shared Folders";
    shared.kind = standin::ProviderKind::SharedFolders;
    shared.storeFilePath = storeFile;
    standin::AddStore(shared);
    ASSERT_TRUE(standin::SaveProfile(m_profile, &error)) << error;
    AddPair(kCalendar1, "Shared Folders\\Calendar");
    AddPair(kContacts1, kContacts2);
    ASSERT_TRUE(DeleteFileA(storeFile.c_str()));

    const SyncrunOutcome run = Syncrun({"run"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("[message box] Orvanta Merrowlink Addin: The program has detected that Orvanta "
                             "Brackenmeadow has been reinstalled on this machine.",
                             0),
              0u)
        << lines[0];
    EXPECT_EQ(lines[3], "'Personal Folders\\Calendar' - 'Shared Folders\\Calendar'");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 5, lines.end()), PairReport(kContacts1, kContacts2, 1, 0, 1, 0));
    EXPECT_EQ(
        Lines(Syncrun({"pairs"}).out),
        std::vector<std::string>{"1. 'Personal Folders\\Contacts' - 'Mailbox - Ann Example\\Contacts' (Contact)"});
}

// Outlook's Delete moves the item to Deleted Items and keeps its entry id: the paired folder loses its
// copy, and the moved item is left where the user put it.
TEST_F(SyncrunScenario, AnItemDeletedInOutlookLeavesThePairedFolderToo) {
    AddPair(kCalendar1, kCalendar2);
    ASSERT_EQ(Syncrun({"run"}).exitCode, 0u);
    const SyncrunOutcome moved = Syncrun({"move-item", kCalendar1, "Dentist", "Personal Folders\\Deleted Items"});
    ASSERT_EQ(moved.exitCode, 0u) << moved.err;
    EXPECT_EQ(moved.out, "Moved 'Dentist' from 'Personal Folders\\Calendar' to 'Personal Folders\\Deleted Items'.\n");

    const SyncrunOutcome run = Syncrun({"run"});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_EQ(Lines(run.out), PairReport(kCalendar1, kCalendar2, 0, 0, 0, 1));
    const std::vector<std::string> left = {"  \"Flight to Oslo\"", "  \"Gym\"", "  \"Team lunch\""};
    EXPECT_EQ(Subjects(Dump(kCalendar1)), left);
    EXPECT_EQ(Subjects(Dump(kCalendar2)), left);
    EXPECT_EQ(Subjects(Dump("Personal Folders\\Deleted Items")), std::vector<std::string>{"  \"Dentist\""});
}

// State that cannot be recorded (here a folder where "cache.index" belongs) stops the pair with an error
// line naming the file, in the report and in the log, and nothing is copied: items never double.
TEST_F(SyncrunScenario, StateThatCannotBeWrittenIsReportedAndNothingIsCopied) {
    AddPair(kCalendar1, kCalendar2);
    const std::string cache = m_data + "\\Cache";
    const std::string index = cache + "\\Scenario\\cache.index";
    ASSERT_TRUE(CreateDirectoryA(cache.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((cache + "\\Scenario").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(index.c_str(), nullptr));
    const std::string line = "Cannot write file '" + index + "'. The folders of this pair were not synchronized.";
    for (int run = 0; run < 2; ++run) {
        const SyncrunOutcome outcome = Syncrun({"run"});
        EXPECT_EQ(outcome.exitCode, 1u);
        EXPECT_EQ(Lines(outcome.out),
                  (std::vector<std::string>{"Synchronization of folders: 'Personal Folders\\Calendar' with "
                                            "'Mailbox - Ann Example\\Calendar'",
                                            "[error] " + line}));
        EXPECT_EQ(Subjects(Dump(kCalendar2)).size(), 2u);
    }
    EXPECT_EQ(Count(ReadLog(), "Error: " + line), 2);
}

// A settings file that does not read back whole is kept aside and the user is told, with both paths;
// the pairs it still gave run and are written anew.
TEST_F(SyncrunScenario, ADamagedSettingsFileIsKeptAsideAndTheUserIsTold) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    const std::string settings = m_data + "\\Settings\\Scenario\\ZxBrackenmeadowSync.settings";
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(settings, bytes));
    ASSERT_TRUE(WriteWholeFile(settings, bytes + "??"));

    const SyncrunOutcome run = Syncrun({"run"});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    const std::string text = "The settings file '" + settings +
                             "' is damaged and could not be read completely. It was kept as '" + settings +
                             ".damaged'; check your folder pairs.";
    EXPECT_EQ(Lines(run.out), Concat({"[message box] Orvanta Merrowlink Addin: " + text},
                                     Concat(PairReport(kCalendar1, kCalendar2, 2, 0, 2, 0),
                                            PairReport(kContacts1, kContacts2, 1, 0, 1, 0))));
    EXPECT_EQ(Count(ReadLog(), "Error: " + text), 1);
    std::string aside;
    ASSERT_TRUE(ReadWholeFile(settings + ".damaged", aside));
    EXPECT_EQ(aside, bytes + "??");
    EXPECT_EQ(Lines(Syncrun({"pairs"}).out).size(), 2u);
    EXPECT_EQ(Lines(Syncrun({"run"}).out),
              Concat(PairReport(kCalendar1, kCalendar2, 0, 0, 0, 0), PairReport(kContacts1, kContacts2, 0, 0, 0, 0)));
}

// While another run holds the profile's state, a run says so and touches nothing.
TEST_F(SyncrunScenario, ARunWhileAnotherHoldsTheProfilesStateTouchesNothing) {
    AddPair(kCalendar1, kCalendar2);
    const std::string cache = m_data + "\\Cache";
    ASSERT_TRUE(CreateDirectoryA(cache.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((cache + "\\Scenario").c_str(), nullptr));
    HANDLE other = CreateFileA((cache + "\\Scenario\\cache.lock").c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const SyncrunOutcome busy = Syncrun({"run"});
    EXPECT_EQ(busy.exitCode, 1u);
    EXPECT_EQ(Lines(busy.out), std::vector<std::string>{"[error] Another synchronization of this profile is running. "
                                                        "Nothing was synchronized."});
    EXPECT_EQ(Subjects(Dump(kCalendar2)).size(), 2u);
    CloseHandle(other);
    EXPECT_EQ(Lines(Syncrun({"run"}).out), PairReport(kCalendar1, kCalendar2, 2, 0, 2, 0));
}

struct Refusal {
    const char* folder1;
    const char* folder2;
    const char* text;
};

// Readable case names in test listings.
void PrintTo(const Refusal& r, std::ostream* os) { *os << r.folder1 << " + " << r.folder2; }

class SyncrunAddPairRefusal : public SyncrunScenario, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SyncrunAddPairRefusal, TellsWhyWithThePairDialogsTextAndAddsNothing) {
    const SyncrunOutcome added = Syncrun({"add-pair", GetParam().folder1, GetParam().folder2});
    EXPECT_EQ(added.exitCode, 1u);
    EXPECT_EQ(added.out, GetParam().text);
    EXPECT_EQ(Syncrun({"pairs"}).out, "No folder pairs.\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SyncrunAddPairRefusal,
    ::testing::Values(
        Refusal{kCalendar1, kCalendar1,
                "You have selected the same folder twice. To synchronize data between folders you must choose two "
                "different folders.\n"},
        Refusal{kCalendar1, kContacts2,
                "Folder 1 contains 'Calendar', folder 2 contains 'Contact'.\nChoose folders of the same type.\n"},
        Refusal{kContacts1, "Mailbox - Ann Example\\Inbox",
                "Folder 1 contains 'Contact', folder 2 contains 'Mail'.\nChoose folders of the same type.\n"}));

struct Misuse {
    std::vector<std::string> args; // after --data-folder and the profile
    DWORD exitCode;
    const char* complaint;
};

void PrintTo(const Misuse& m, std::ostream* os) {
    for (const std::string& arg : m.args) *os << arg << ' ';
}

class SyncrunMisuse : public SyncrunScenario, public ::testing::WithParamInterface<Misuse> {};

TEST_P(SyncrunMisuse, EndsWithItsExitCodeAndSaysWhy) {
    const SyncrunOutcome outcome = Syncrun(GetParam().args);
    EXPECT_EQ(outcome.exitCode, GetParam().exitCode);
    EXPECT_NE(outcome.err.find(GetParam().complaint), std::string::npos) << outcome.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SyncrunMisuse,
    ::testing::Values(Misuse{{"frobnicate"}, 2, "unknown command 'frobnicate'"},
                      Misuse{{"add-pair", kCalendar1}, 2, "add-pair takes two folder paths"},
                      Misuse{{"add-item", kCalendar1, "X", "colour=red"}, 2, "unknown property 'colour'"},
                      Misuse{{"add-item", kCalendar1, "X", "start=tomorrow"}, 2, "'tomorrow' is no value for start"},
                      Misuse{{"dump", "Personal Folders\\Nowhere"}, 1, "no folder 'Personal Folders\\Nowhere'"},
                      Misuse{{"edit-item", kCalendar1, "Nobody"}, 1, "no item 'Nobody'"},
                      Misuse{{"add-pair", kCalendar1, "Nowhere\\Calendar"}, 1, "no folder 'Nowhere\\Calendar'"}));

TEST(SyncrunProfileFile, AProfileThatCannotBeReadIsAUsageError) {
    TempDir dir;
    std::string broken = dir / "broken.profile";
    HANDLE h = CreateFileA(broken.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(h, "not a profile\n", 14, &written, nullptr);
    CloseHandle(h);
    for (const std::string& file : {broken, dir / "missing.profile"}) {
        const SyncrunOutcome outcome = RunSyncrun({"--data-folder", dir / "data", file, "pairs"}, dir);
        EXPECT_EQ(outcome.exitCode, 2u) << file;
        EXPECT_NE(outcome.err.find("cannot load profile"), std::string::npos) << outcome.err;
    }
}

// The demo's profile, as shipped: both pairs can be made and the first run merges them without error.
TEST(SyncrunDemoProfile, ItsTwoPairsSynchronizeWithoutError) {
    TempDir dir;
    const std::string profile = dir / "demo.profile";
    ASSERT_TRUE(CopyFileA(ZX_DEMO_PROFILE, profile.c_str(), FALSE));
    const std::vector<std::string> base = {"--data-folder", dir / "data", profile};
    auto syncrun = [&](std::vector<std::string> args) {
        args.insert(args.begin(), base.begin(), base.end());
        return RunSyncrun(args, dir);
    };
    EXPECT_EQ(syncrun({"add-pair", kCalendar1, kCalendar2}).exitCode, 0u);
    EXPECT_EQ(syncrun({"add-pair", kContacts1, kContacts2}).exitCode, 0u);
    const SyncrunOutcome run = syncrun({"run"});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_EQ(run.out.find("[error]"), std::string::npos) << run.out;
    EXPECT_EQ(Contents(syncrun({"dump", kCalendar1}).out), Contents(syncrun({"dump", kCalendar2}).out));
    EXPECT_EQ(Contents(syncrun({"dump", kContacts1}).out), Contents(syncrun({"dump", kContacts2}).out));
}

// A mailbox still downloading shows none of its calendar: the console runner holds the deletions that
// would empty the other calendar, says so in an error line after the question it prints, and carries them
// only when told to go on. Shown again, the items travel back as new ones.
TEST_F(SyncrunScenario, DeletionsOfItemsNotDownloadedYetAreHeldUnlessTheRunIsToldToGoOn) {
    AddPair(kCalendar1, kCalendar2);
    ASSERT_EQ(Syncrun({"run"}).exitCode, 0u);
    const std::vector<std::string> synced = Subjects(Dump(kCalendar1));
    ASSERT_EQ(synced.size(), 4u);
    const SyncrunOutcome hidden = Syncrun({"hide-items", kCalendar2});
    EXPECT_EQ(hidden.exitCode, 0u) << hidden.err;
    EXPECT_EQ(Lines(hidden.out), std::vector<std::string>{"4 items of '" + std::string(kCalendar2) +
                                                          "' are not downloaded yet."});
    EXPECT_EQ(Lines(Dump(kCalendar2)), std::vector<std::string>{std::string(kCalendar2) +
                                                                ": 0 items (4 more not downloaded yet)"});

    const std::string question = "[question] Synchronization would delete 4 of the 4 items of folder '" +
                                 std::string(kCalendar1) + "', because they are missing from folder '" + kCalendar2 +
                                 "'. Delete them?  Answer No if folder '" + kCalendar2 +
                                 "' is still being downloaded or was restored from an old backup: both folders stay "
                                 "as they are, and you are asked again at the next synchronization.";
    const std::string held = "[error] The deletion of 4 items from folder '" + std::string(kCalendar1) +
                             "' is held until you confirm it. Nothing was deleted.";
    for (int run = 0; run < 2; ++run) {
        const SyncrunOutcome no = Syncrun({"run"});
        EXPECT_EQ(no.exitCode, 1u) << no.out;
        const std::vector<std::string> lines = Lines(no.out);
        const auto at = std::find(lines.begin(), lines.end(), question);
        ASSERT_NE(at, lines.end()) << no.out;
        ASSERT_LT(at + 2, lines.end());
        EXPECT_EQ(*(at + 1), "[answer] no");
        EXPECT_EQ(*(at + 2), held);
        EXPECT_EQ(Subjects(Dump(kCalendar1)), synced);
    }

    const SyncrunOutcome yes = Syncrun({"run", "--confirm-deletions"});
    EXPECT_EQ(yes.exitCode, 0u) << yes.out;
    EXPECT_NE(yes.out.find(question + "\n[answer] yes\n"), std::string::npos) << yes.out;
    EXPECT_TRUE(Subjects(Dump(kCalendar1)).empty());

    EXPECT_EQ(Syncrun({"show-items", kCalendar2}).exitCode, 0u);
    const SyncrunOutcome back = Syncrun({"run"});
    EXPECT_EQ(back.exitCode, 0u) << back.out;
    EXPECT_EQ(Subjects(Dump(kCalendar1)), synced);
    EXPECT_EQ(Subjects(Dump(kCalendar2)), synced);
    EXPECT_EQ(Syncrun({"hide-items", kCalendar2, "--confirm-deletions"}).exitCode, 2u);
}

// Names no file system takes as they are: a profile with ":" "/" "*" "?" keeps its pairs and runs them,
// and folders named after devices ("Con.Edison") or longer than a path allows are synchronized.
TEST_F(SyncrunScenario, OddProfileAndFolderNamesAreSynchronizedLikeAnyOther) {
    standin::SetProfileName("Work:Main/Team*?");
    const std::string longName(240, 'A');
    for (const std::string& name : {std::string("Con.Edison"), std::string("LPT1.txt"), longName}) {
        for (const char* store : {"Personal Folders", "Mailbox - Ann Example"}) {
            const standin::Bytes root = standin::FolderByPath(std::string(store) + "\\Calendar");
            const standin::Bytes folder = standin::AddFolder(root, name, "IPF.Appointment");
            ASSERT_FALSE(standin::AddItem(folder, std::string(store) + " item").empty());
        }
    }
    std::string error;
    ASSERT_TRUE(standin::SaveProfile(m_profile, &error)) << error;
    for (const std::string& name : {std::string("Con.Edison"), std::string("LPT1.txt"), longName}) {
        const std::string path1 = std::string(kCalendar1) + "\\" + name, path2 = std::string(kCalendar2) + "\\" + name;
        AddPair(path1.c_str(), path2.c_str());
    }
    EXPECT_EQ(Lines(Syncrun({"pairs"}).out).size(), 3u);
    const SyncrunOutcome run = Syncrun({"run"});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    for (const std::string& name : {std::string("Con.Edison"), std::string("LPT1.txt"), longName}) {
        const std::string path2 = std::string(kCalendar2) + "\\" + name;
        EXPECT_EQ(Subjects(Dump(path2.c_str())),
                  (std::vector<std::string>{"  \"Mailbox - Ann Example item\"", "  \"Personal Folders item\""}))
            << name;
    }
    const SyncrunOutcome again = Syncrun({"run"});
    EXPECT_EQ(again.exitCode, 0u) << again.out;
    EXPECT_EQ(Count(again.out, "0 items changed, 0 deleted in folder"), 6) << again.out;
}

} // namespace
