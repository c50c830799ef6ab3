#include "addin/AutoSync.h"

#include <mapiguid.h>
#include <wrl/client.h>

#include <atomic>

#include "addin/Commands.h"
#include "base/Errors.h"
#include "base/LogFile.h"
#include "base/StringTable.h"
#include "engine/SettingsLoad.h"
#include "resources/StringIds.h"
#include "ui/AutoSyncNotice.h"

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMilliseconds = 1000;
constexpr UINT kDropRun = WM_APP + 2; // the run's window may not go while it handles its own message
constexpr UINT kSettled = WM_APP + 3; // changes noticed before this are the run's own writes
constexpr ULONG kWatchedEvents = fnevObjectCreated | fnevObjectModified | fnevObjectDeleted | fnevObjectMoved;

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const char*>(&ThisModule), &module);
    return module;
}

std::string PairKey(const CAssocDesc& pair) {
    return pair.GetFolder1().GetFolderEntryId().ToHex() + "|" + pair.GetFolder2().GetFolderEntryId().ToHex();
}

FILETIME LastWrite(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return FILETIME{};
    return data.ftLastWriteTime;
}

bool operator!=(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime != b.dwLowDateTime || a.dwHighDateTime != b.dwHighDateTime;
}

// Tells the scheduler which pair's folder changed; MAPI calls it from Outlook's message loop.
class CFolderWatchSink : public IMAPIAdviseSink {
public:
    CFolderWatchSink(CAutoSync* owner, std::string pairKey, std::string folderName)
        : m_owner(owner), m_pairKey(std::move(pairKey)), m_folderName(std::move(folderName)) {}
    virtual ~CFolderWatchSink() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IMAPIAdviseSink) return E_NOINTERFACE;
        *out = static_cast<IMAPIAdviseSink*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP_(ULONG) OnNotify(ULONG count, LPNOTIFICATION notifications) override {
        try {
            bool changed = false;
            for (ULONG i = 0; notifications && i < count; ++i)
                changed = changed || (notifications[i].ulEventType & kWatchedEvents) != 0;
            if (changed && m_owner) m_owner->OnFolderChanged(m_pairKey, m_folderName);
        } catch (...) {
            // A notification MAPI delivers must never see an exception; the next change tries again.
        }
        return 0;
    }

    void Detach() { m_owner = nullptr; }

private:
    std::atomic<ULONG> m_refs{1};
    CAutoSync* m_owner;
    std::string m_pairKey, m_folderName;
};

} // namespace

struct CAutoSync::WatchEntry {
    ZxIMsgStore store;
    ULONG connection = 0;
    Microsoft::WRL::ComPtr<CFolderWatchSink> sink;
};

CAutoSync::CAutoSync() = default;

CAutoSync::~CAutoSync() { Stop(); }

void CAutoSync::Start(const ZxIMAPISession& session) {
    try {
        if (m_window) return;
        m_session = session;
        m_profile = session.GetProfileName();
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = ThisModule();
        windowClass.lpszClassName = kWindowClass;
        RegisterClassA(&windowClass);
        m_window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), nullptr);
        if (!m_window) {
            GetLogFile().LogErrorFormat("Automatic synchronization is not available (error %lu).", GetLastError());
            return;
        }
        SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_startedAt = GetTickCount64();
        Refresh(true);
        m_startRunDue = m_options.atStart;
        SetTimer(m_window, kTickTimer, kTickMilliseconds, nullptr);
    } catch (const Error::ZxException& e) {
        GetLogFile().LogException(e, nullptr);
    } catch (...) {
        GetLogFile().LogError(std::string("Automatic synchronization could not start."));
    }
}

void CAutoSync::Stop() {
    try {
        if (m_run && m_run->IsRunning()) {
            GetLogFile().LogInfo(ZxLoadString(IDS_AUTOSYNC_STOPPED_BY_EXIT));
            m_run->StopNow();
        }
        m_run.reset();
        Unwatch();
        m_notice.reset();
        if (m_window) {
            KillTimer(m_window, kTickTimer);
            DestroyWindow(m_window);
            m_window = nullptr;
            UnregisterClassA(kWindowClass, ThisModule());
        }
        m_changes.clear();
        m_clickPutOff = false;
        m_settling = false;
        m_session.Reset();
    } catch (...) {
    }
}

LRESULT CALLBACK CAutoSync::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CAutoSync*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    try {
        switch (message) {
            case WM_TIMER:
                if (wParam != kTickTimer) break;
                self->OnTick();
                return 0;
            case kDropRun:
                self->m_run.reset();
                return 0;
            case kSettled:
                self->AfterRun();
                return 0;
            default:
                break;
        }
    } catch (const Error::ZxException& e) {
        GetLogFile().LogException(e, nullptr);
        return 0;
    } catch (...) {
        GetLogFile().LogError(std::string("Unexpected exception in automatic synchronization."));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void CAutoSync::Refresh(bool force) {
    const FILETIME optionsTime = LastWrite(CAutoSyncOptions::FilePath(m_profile));
    const FILETIME settingsTime = LastWrite(CSettings(m_profile).GetFilePath());
    const bool optionsChanged = force || optionsTime != m_optionsTime;
    const bool settingsChanged = force || settingsTime != m_settingsTime;
    if (!optionsChanged && !settingsChanged) return;
    m_optionsTime = optionsTime;
    m_settingsTime = settingsTime;
    if (optionsChanged) {
        const CAutoSyncOptions before = m_options;
        m_options = CAutoSyncOptions::Load(m_profile);
        // A new interval counts from now.
        if (m_options.interval && (force || !before.interval || before.minutes != m_options.minutes))
            m_nextInterval = GetTickCount64() + static_cast<ULONGLONG>(m_options.minutes) * 60 * 1000;
        // The file may have been rewritten with the defaults.
        m_optionsTime = LastWrite(CAutoSyncOptions::FilePath(m_profile));
    }
    Unwatch();
    if (m_options.afterChange) WatchPairs();
}

void CAutoSync::WatchPairs() {
    m_watched = std::make_unique<CSettings>(m_profile);
    ZxShowNotices(LoadSettings(*m_watched));
    m_settingsTime = LastWrite(m_watched->GetFilePath());
    m_watched->OpenFolders(m_session);
    for (const CRefCountPtr<CAssocDesc>& pair : m_watched->GetAssocs()) {
        if (!pair) continue;
        for (const CFolderDesc* folder : {&pair->GetFolder1(), &pair->GetFolder2()}) {
            if (folder->GetStore().IsNull() || !folder->GetFolderEntryId().HasData()) continue;
            auto entry = std::make_unique<WatchEntry>();
            entry->store = folder->GetStore();
            entry->sink.Attach(new CFolderWatchSink(this, PairKey(*pair), folder->GetFolderName()));
            const SBinary id = folder->GetFolderEntryId().AsSBinary();
            const HRESULT hr = entry->store.Get()->Advise(id.cb, reinterpret_cast<LPENTRYID>(id.lpb), kWatchedEvents,
                                                          entry->sink.Get(), &entry->connection);
            if (FAILED(hr)) {
                GetLogFile().LogErrorFormat("Cannot watch folder '%s' for changes (0x%08lX).",
                                            folder->GetFolderName().c_str(), static_cast<unsigned long>(hr));
                entry->sink->Detach();
                continue;
            }
            m_watches.push_back(std::move(entry));
        }
    }
}

void CAutoSync::Unwatch() {
    for (const std::unique_ptr<WatchEntry>& entry : m_watches) {
        entry->sink->Detach();
        entry->store.Get()->Unadvise(entry->connection);
    }
    m_watches.clear();
    m_watched.reset();
}

void CAutoSync::OnFolderChanged(const std::string& pairKey, const std::string& folderName) {
    // The runs' own copies and deletions are no user's change.
    if (m_run || m_settling || m_manualRuns > 0 || !m_options.afterChange) return;
    const ULONGLONG now = GetTickCount64();
    const auto found = m_changes.find(pairKey);
    if (found == m_changes.end())
        m_changes.emplace(pairKey, Change{now, now, folderName});
    else
        found->second.last = now;
}

void CAutoSync::OnTick() {
    Refresh(false);
    if (m_run) return; // one run at a time: what is due waits for the next tick after it
    const ULONGLONG now = GetTickCount64();
    if (m_startRunDue && m_options.atStart && now - m_startedAt >= kStartDelayMs) {
        m_startRunDue = false;
        StartRun(ZxLoadString(IDS_AUTOSYNC_BY_START), {});
        return;
    }
    if (m_options.interval && now >= m_nextInterval) {
        m_nextInterval = now + static_cast<ULONGLONG>(m_options.minutes) * 60 * 1000;
        StartRun(ZxFormat(ZxLoadString(IDS_AUTOSYNC_BY_INTERVAL).c_str(), m_options.minutes), {});
        return;
    }
    if (!m_options.afterChange) {
        m_changes.clear();
        return;
    }
    std::set<std::string> due;
    std::string folderName;
    for (auto it = m_changes.begin(); it != m_changes.end();) {
        if (now - it->second.last >= kChangeQuietMs || now - it->second.first >= kChangeLatestMs) {
            if (due.empty()) folderName = it->second.folderName;
            due.insert(it->first);
            it = m_changes.erase(it);
        } else {
            ++it;
        }
    }
    if (!due.empty()) StartRun(ZxFormat(ZxLoadString(IDS_AUTOSYNC_BY_CHANGE).c_str(), folderName.c_str()), due);
}

void CAutoSync::StartRun(const std::string& startLine, const std::set<std::string>& onlyPairs) {
    CSettings settings(m_profile);
    ZxShowNotices(LoadSettings(settings));
    settings.OpenFolders(m_session);
    CAssocsContainer pairs;
    for (const CRefCountPtr<CAssocDesc>& pair : settings.GetAssocs())
        if (pair && (onlyPairs.empty() || onlyPairs.count(PairKey(*pair)))) pairs.push_back(pair);
    if (pairs.empty()) return;
    GetLogFile().LogInfo(startLine);
    m_run = std::make_unique<CSteppedRun>(m_profile, pairs, [this] { OnRunDone(); });
    if (!m_run->Start()) m_run.reset();
}

// Inside the run's last step: the run object stays until its window is done with the message.
void CAutoSync::OnRunDone() {
    const bool errors = m_run->HadErrors();
    GetLogFile().LogInfo(ZxLoadString(errors ? IDS_AUTOSYNC_DONE_ERRORS : IDS_AUTOSYNC_DONE));
    if (errors) {
        m_notice = std::make_unique<CAutoSyncNotice>();
        m_notice->Show(ZxLoadString(IDS_AUTOSYNC_NOTICE), m_run->Lines());
    }
    m_settling = true;
    PostMessageA(m_window, kDropRun, 0, 0);
    PostMessageA(m_window, kSettled, 0, 0);
}

void CAutoSync::AfterRun() {
    m_settling = false;
    if (!m_clickPutOff) return;
    m_clickPutOff = false;
    Commands::Synchronize();
}

void CAutoSync::ManualRunEnded() {
    if (m_manualRuns > 0) --m_manualRuns;
    // What the run wrote is still being told: until the queue has passed, it is the run's own.
    if (m_window) {
        m_settling = true;
        PostMessageA(m_window, kSettled, 0, 0);
    }
}

bool CAutoSync::PutOffClick() {
    if (!IsRunning()) return false;
    if (!m_clickPutOff) {
        m_clickPutOff = true;
        const std::string text = ZxLoadString(IDS_AUTOSYNC_CLICK_PUT_OFF);
        GetLogFile().LogInfo(text);
        m_notice = std::make_unique<CAutoSyncNotice>();
        m_notice->Show(text, {});
    }
    return true;
}
