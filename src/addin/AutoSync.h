#pragma once
// Automatic synchronization while Outlook runs: every so many minutes, a short while after Outlook's
// start, and soon after an item changes in a paired folder, as the profile's automatic options say.
// Runs go beside the user (CSteppedRun), one at a time; a run that succeeds is only logged, one with
// errors shows a notice that does not take the focus. A Synchronize click during a run is taken up
// right after it, and the user is told so.
//
// Time is read from GetTickCount64 at a one-second tick, so a run is due at most a second late.
#include <windows.h>
#include <mapix.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "config/AutoSyncOptions.h"
#include "config/Settings.h"
#include "engine/SteppedRun.h"
#include "mapi/Session.h"

class CAutoSyncNotice;

class CAutoSync {
public:
    // How long after Outlook's start the start-up run comes, so that Outlook's own start goes first.
    static constexpr ULONGLONG kStartDelayMs = 30 * 1000;
    // A change is followed by a run once the folders were quiet this long, and at the latest after
    // kChangeLatestMs, so that a burst of changes gives one run.
    static constexpr ULONGLONG kChangeQuietMs = 15 * 1000;
    static constexpr ULONGLONG kChangeLatestMs = 60 * 1000;
    static constexpr const char* kWindowClass = "ZxMerrowlinkAutoSync";

    CAutoSync();
    ~CAutoSync();
    CAutoSync(const CAutoSync&) = delete;
    CAutoSync& operator=(const CAutoSync&) = delete;

    // Outlook's session is there: reads the options and starts watching. Never throws.
    void Start(const ZxIMAPISession& session);
    // Outlook is closing: a run under way ends cleanly here, every watch is dropped. Never throws.
    void Stop();

    bool IsRunning() const { return m_run && m_run->IsRunning(); }
    // A Synchronize click while a run works: true when it was put off until the run has ended (the
    // user is told); false when no run works and the click goes ahead.
    bool PutOffClick();

    // A Synchronize click's run: its own copies and deletions are no user's change.
    void ManualRunStarts() { m_manualRuns++; }
    void ManualRunEnded();

    // Called by a folder's watch (from Outlook's message loop).
    void OnFolderChanged(const std::string& pairKey, const std::string& folderName);

private:
    struct WatchEntry;
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnTick();
    // Reads options and pairs again when either file changed since the last look.
    void Refresh(bool force);
    void Unwatch();
    void WatchPairs();
    void StartRun(const std::string& startLine, const std::set<std::string>& onlyPairs);
    void OnRunDone();
    void AfterRun();

    HWND m_window = nullptr;
    ZxIMAPISession m_session;
    std::string m_profile;
    CAutoSyncOptions m_options;
    FILETIME m_optionsTime{}, m_settingsTime{};
    ULONGLONG m_startedAt = 0, m_nextInterval = 0;
    bool m_startRunDue = false;
    // Changes seen per pair (key: the two folder ids), first and last time.
    struct Change {
        ULONGLONG first, last;
        std::string folderName;
    };
    std::map<std::string, Change> m_changes;
    std::unique_ptr<CSettings> m_watched; // its pairs hold the stores the watches are registered on
    std::vector<std::unique_ptr<WatchEntry>> m_watches;
    std::unique_ptr<CSteppedRun> m_run;
    bool m_settling = false; // changes seen now are the run's own writes
    bool m_clickPutOff = false;
    int m_manualRuns = 0;
    std::unique_ptr<CAutoSyncNotice> m_notice;
};
