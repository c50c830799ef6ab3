#include "BenchRun.h"

#include <windows.h>
#include <mapitags.h>

#include <algorithm>
#include <sstream>

#include "BareLoops.h"
#include "BenchWorld.h"
#include "QuietStatusWindow.h"
#include "base/LogFile.h"
#include "engine/SteppedRun.h"
#include "base/Paths.h"
#include "base/StringTable.h"
#include "engine/FolderCache.h"
#include "engine/FolderCacheFactory.h"
#include "engine/Synchronizer.h"
#include "engine/SyncRun.h"

namespace bench {
namespace {

const char kChangedBody[] = "changed in the bench";

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((ZxFsPath(folder) / "*").CStr(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = (ZxFsPath(folder) / name).Str();
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

// A data folder of the bench's own under the temporary folder, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(int repetition) {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        m_path = (ZxFsPath(temp) / ZxFormat("zxbench-%lu-%d", GetCurrentProcessId(), repetition)).Str();
        RemoveTree(m_path);
        CreateFolderPath(m_path);
        m_previous = SetAddinDataFolderOverride(m_path);
    }
    ~TempFolder() {
        SetAddinDataFolderOverride(m_previous);
        RemoveTree(m_path);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_previous;
};

// The add-in's log, in the bench's data folder.
class TempLog : public CLogFile {
public:
    explicit TempLog(std::string folder) : m_folder(std::move(folder)) {}
    std::string GetFilePath() override {
        return (ZxFsPath(m_folder) / ZxFsPath(CLogFile::GetFilePath()).FileName()).Str();
    }

private:
    std::string m_folder;
};

// A pair's report: 5032, 5035, 5035, 5036, 5037, 5038, 5039, 5040, 5040, "", "".
Phases PhasesOf(const QuietStatusWindow& window, double total) {
    Phases p;
    const std::vector<double>& m = window.Marks();
    if (m.size() < 11) return p;
    p.start = m[0];
    p.caches = m[1] - m[0];
    p.scan1 = m[2] - m[1];
    p.scan2 = m[3] - m[2];
    p.conflicts = m[4] - m[3];
    p.changes = m[5] - m[4];
    p.deletions = m[6] - m[5];
    p.end = total - m[6];
    return p;
}

void Keep(StepFigures& step, double ms, const QuietStatusWindow* window = nullptr, const BareTimes* bare = nullptr) {
    if (step.runs.empty() || ms < step.ms) {
        step.ms = ms;
        if (window) step.phases = PhasesOf(*window, ms);
        if (bare) step.bare = *bare;
    }
    step.runs.push_back(ms);
    step.calls = OwnCallCounts();
}

int CountWithBody(const standin::Bytes& folder, const std::string& body) {
    int n = 0;
    for (const standin::ItemView& item : standin::Items(folder)) {
        auto found = item.props.find(PR_BODY_A);
        if (found != item.props.end() && found->second.s == body) ++n;
    }
    return n;
}

std::string Describe(const std::string& step, const QuietStatusWindow& window) {
    std::string text = step + ": " + std::to_string(window.Errors().size()) + " error line(s)";
    if (!window.Errors().empty()) text += ", first: " + window.Errors().front();
    return text;
}

// Deletes every item of a folder, as a user emptying it would.
void EmptyFolder(const standin::Bytes& folder) {
    for (const standin::ItemView& item : standin::Items(folder)) standin::DeleteItem(item.entryId);
}

// One repetition; returns the first thing that went wrong, or nothing.
std::string Repetition(int items, int repetition, SizeFigures& figures) {
    const BenchFolders folders = BuildWorld(items);
    TempFolder data(repetition);
    TempLog log(data.Path());
    log.Open(true);
    ZxIMAPISession session;
    session.Attach(standin::NewSession());
    CAssocsContainer pairs;
    pairs.push_back(OpenPair(session, folders.source, folders.target));
    const ZxIMAPIFolder bareSource = OpenFolder(session, folders.bareSource);
    const ZxIMAPIFolder bareTarget = OpenFolder(session, folders.bareTarget);
    const ZxIMAPIFolder source = pairs[0]->GetFolder1().GetFolder();
    const ZxIMAPIFolder target = pairs[0]->GetFolder2().GetFolder();
    if (!bareSource || !bareTarget || !source || !target) return "cannot open the bench folders";

    auto bareFirstSync = [&]() -> std::string {
        standin::ResetCounters();
        BareTimes times;
        Stopwatch clock;
        const size_t copied = BareFirstSync(bareSource.Get(), bareTarget.Get(), &times);
        Keep(figures.bareFirstSync, clock.Milliseconds(), nullptr, &times);
        if (copied != static_cast<size_t>(items)) return "the bare loop copied " + std::to_string(copied) + " items";
        return std::string();
    };
    auto engineRun = [&](StepFigures& step, const char* what) -> std::string {
        QuietStatusWindow window(&log);
        standin::ResetCounters();
        Stopwatch clock;
        RunAllPairs(kProfileName, pairs, window);
        Keep(step, clock.Milliseconds(), &window);
        if (!window.Errors().empty()) return Describe(what, window);
        return std::string();
    };
    auto engineFirstSync = [&]() -> std::string {
        if (!figures.engine) return std::string();
        std::string failure = engineRun(figures.firstSync, "first sync");
        if (failure.empty() && standin::Items(folders.target).size() != static_cast<size_t>(items))
            failure = "first sync left " + std::to_string(standin::Items(folders.target).size()) + " items in the target";
        return failure;
    };
    auto pairRatio = [](std::vector<double>& ratios, const StepFigures& engine, const StepFigures& bare) {
        if (!engine.runs.empty() && !bare.runs.empty()) ratios.push_back(engine.runs.back() / bare.runs.back());
    };

    // First synchronization, twice, in both orders: the side that runs first works in a world without
    // the other's copies and in a fresher heap. Between the two rounds both targets are emptied and the
    // engine's state is removed, so that the second round starts from the same world as the first.
    std::string failure = bareFirstSync();
    if (failure.empty()) failure = engineFirstSync();
    if (!failure.empty()) return failure;
    pairRatio(figures.firstSyncRatios, figures.firstSync, figures.bareFirstSync);
    EmptyFolder(folders.target);
    EmptyFolder(folders.bareTarget);
    RemoveTree((ZxFsPath(data.Path()) / "Cache").Str());
    failure = engineFirstSync();
    if (failure.empty()) failure = bareFirstSync();
    if (!failure.empty()) return failure;
    pairRatio(figures.firstSyncRatios, figures.firstSync, figures.bareFirstSync);

    // Runs with nothing changed, each beside a bare scan of the same two folders, in alternating order.
    figures.rerunOpenEntry = repetition == 0 ? 0 : figures.rerunOpenEntry;
    for (int k = 0; k < 4; ++k) {
        auto bareScan = [&]() -> std::string {
            standin::ResetCounters();
            BareTimes times;
            Stopwatch clock;
            // The engine's own folders; without the engine, the bare loop's (the same content).
            const size_t rows = figures.engine ? BareScan(source.Get(), target.Get(), &times)
                                               : BareScan(bareSource.Get(), bareTarget.Get(), &times);
            Keep(figures.bareScan, clock.Milliseconds(), nullptr, &times);
            if (rows != static_cast<size_t>(2 * items)) return "the bare scan read " + std::to_string(rows) + " rows";
            return std::string();
        };
        auto rerun = [&]() -> std::string {
            if (!figures.engine) return std::string();
            const std::string result = engineRun(figures.rerun, "no-change rerun");
            figures.rerunOpenEntry += standin::CallCount("IMAPIFolder::OpenEntry");
            return result;
        };
        failure = k % 2 == 0 ? bareScan() : rerun();
        if (failure.empty()) failure = k % 2 == 0 ? rerun() : bareScan();
        if (!failure.empty()) return failure;
        pairRatio(figures.rerunRatios, figures.rerun, figures.bareScan);
    }
    if (!figures.engine) {
        log.Close();
        return std::string();
    }

    // One item in a hundred changed in folder 1.
    figures.changedItems = ChangeOnePercent(folders.source, kChangedBody);
    failure = engineRun(figures.changedRerun, "1% changed rerun");
    if (!failure.empty()) return failure;
    const int arrived = CountWithBody(folders.target, kChangedBody);
    if (arrived != figures.changedItems)
        return std::to_string(arrived) + " of " + std::to_string(figures.changedItems) + " changes arrived";

    // The state cache of folder 1: loaded from its file and written back; the heap it takes.
    CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(kProfileName));
    factory->LoadIndex();
    const auto index = factory->GetIndex();
    const auto entry = index.find(CFolderCacheFactory::GetCacheKey(source, target));
    if (entry == index.end()) return "no cache file for the source folder";
    {
        const size_t heapBefore = HeapBytesInUse();
        CFolderCache cache((ZxFsPath(factory->GetCacheFolder()) / entry->second).Str());
        Stopwatch load;
        cache.Load();
        const double loadMs = load.Milliseconds();
        const size_t heapAfter = HeapBytesInUse();
        if (repetition == 0 || loadMs < figures.cacheLoadMs) figures.cacheLoadMs = loadMs;
        size_t identifierBytes = 0;
        for (const CRefCountPtr<CCacheItem>& item : cache.GetItems())
            identifierBytes += item->GetEntryId().Size() + item->GetRecordKey().Size() + item->GetPairId().size();
        if (cache.GetItemCount() != static_cast<size_t>(items))
            return "the cache held " + std::to_string(cache.GetItemCount()) + " items";
        figures.cacheBytesPerItem = static_cast<double>(heapAfter - heapBefore) / items;
        figures.identifierBytesPerItem = static_cast<double>(identifierBytes) / items;
        cache.SetDirty(true);
        Stopwatch save;
        const bool saved = cache.Save();
        const double saveMs = save.Milliseconds();
        if (repetition == 0 || saveMs < figures.cacheSaveMs) figures.cacheSaveMs = saveMs;
        if (!saved) return "the cache could not be saved";
    }

    // Work a first sync cannot leave out and the bare loop does not do: a pair id for every new item.
    Stopwatch pairIds;
    size_t idLength = 0;
    for (int k = 0; k < items; ++k) idLength += CSynchronizer::NewPairId().size();
    const double pairIdsMs = pairIds.Milliseconds();
    if (repetition == 0 || pairIdsMs < figures.pairIdsMs) figures.pairIdsMs = pairIdsMs;
    if (idLength != static_cast<size_t>(items) * 38) return "a pair id of the wrong length";
    log.Close();
    return std::string();
}

} // namespace

namespace {

// One automatic run to its end under a message loop; the longest dispatch is the longest stall.
std::string SteppedRun(const CAssocsContainer& pairs, double& longest, double& total, int& steps) {
    bool done = false;
    CSteppedRun run(kProfileName, pairs, [&] { done = true; });
    Stopwatch clock;
    if (!run.Start()) return "the automatic run could not start";
    MSG msg;
    longest = 0;
    while (!done && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        Stopwatch message;
        DispatchMessageA(&msg);
        longest = std::max(longest, message.Milliseconds());
    }
    total = clock.Milliseconds();
    steps = run.Steps();
    if (run.HadErrors()) return "the automatic run reported an error";
    return std::string();
}

} // namespace

StallFigures MeasureStall(int items) {
    StallFigures figures;
    figures.items = items;
    const BenchFolders folders = BuildWorld(items);
    TempFolder data(0);
    TempLog log(data.Path());
    log.Open(true);
    Error::IZxLogFile* previous = SetLogFileOverride(&log);
    {
        ZxIMAPISession session;
        session.Attach(standin::NewSession());
        CAssocsContainer pairs;
        pairs.push_back(OpenPair(session, folders.source, folders.target));
        figures.failure = SteppedRun(pairs, figures.firstSyncLongest, figures.firstSyncMs, figures.firstSyncSteps);
        if (figures.failure.empty())
            figures.failure = SteppedRun(pairs, figures.noChangeLongest, figures.noChangeMs, figures.noChangeSteps);
    }
    SetLogFileOverride(previous);
    standin::Reset(kProfileName);
    return figures;
}

SizeFigures MeasureSize(int items, int repetitions, bool engine) {
    SizeFigures figures;
    figures.items = items;
    figures.repetitions = repetitions;
    figures.engine = engine;
    for (int r = 0; r < repetitions && figures.failure.empty(); ++r) figures.failure = Repetition(items, r, figures);
    standin::Reset(kProfileName);
    figures.peak = PeakMemory();
    return figures;
}

namespace {

void PutList(std::ostringstream& out, const char* name, const std::vector<double>& values) {
    out << name;
    for (double v : values) out << " " << v;
    out << "\n";
}

std::vector<double> GetList(std::istringstream& words) {
    std::vector<double> values;
    double v = 0;
    while (words >> v) values.push_back(v);
    return values;
}

void PutStep(std::ostringstream& out, const char* name, const StepFigures& step) {
    out << name << ".ms " << step.ms << "\n";
    PutList(out, (std::string(name) + ".runs").c_str(), step.runs);
    for (const auto& [method, n] : step.calls) out << name << ".call " << method << " " << n << "\n";
    const Phases& p = step.phases;
    out << name << ".phases " << p.start << " " << p.caches << " " << p.scan1 << " " << p.scan2 << " " << p.conflicts
        << " " << p.changes << " " << p.deletions << " " << p.end << "\n";
    const BareTimes& b = step.bare;
    out << name << ".bare " << b.tables << " " << b.scan1 << " " << b.scan2 << " " << b.items << "\n";
}

} // namespace

std::string Serialize(const SizeFigures& f) {
    std::ostringstream out;
    out.precision(17);
    out << "items " << f.items << "\nrepetitions " << f.repetitions << "\nengine " << (f.engine ? 1 : 0) << "\n";
    PutStep(out, "first", f.firstSync);
    PutStep(out, "barefirst", f.bareFirstSync);
    PutStep(out, "rerun", f.rerun);
    PutStep(out, "barescan", f.bareScan);
    PutStep(out, "changed", f.changedRerun);
    PutList(out, "firstratios", f.firstSyncRatios);
    PutList(out, "rerunratios", f.rerunRatios);
    out << "changeditems " << f.changedItems << "\ncacheload " << f.cacheLoadMs << "\ncachesave " << f.cacheSaveMs
        << "\npairids " << f.pairIdsMs << "\nrerunopenentry " << f.rerunOpenEntry << "\ncachebytes "
        << f.cacheBytesPerItem << "\nidbytes " << f.identifierBytesPerItem << "\npeakws " << f.peak.workingSetMB
        << "\npeakpf " << f.peak.pagefileMB << "\n";
    if (!f.failure.empty()) out << "failure " << f.failure << "\n";
    return out.str();
}

bool Deserialize(const std::string& text, SizeFigures& f) {
    std::istringstream in(text);
    std::string line;
    bool any = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string key;
        words >> key;
        StepFigures* step = nullptr;
        const std::string prefix = key.substr(0, key.find('.'));
        if (prefix == "first")
            step = &f.firstSync;
        else if (prefix == "barefirst")
            step = &f.bareFirstSync;
        else if (prefix == "rerun")
            step = &f.rerun;
        else if (prefix == "barescan")
            step = &f.bareScan;
        else if (prefix == "changed")
            step = &f.changedRerun;
        if (step && key.size() > prefix.size()) {
            const std::string what = key.substr(prefix.size() + 1);
            if (what == "ms")
                words >> step->ms;
            else if (what == "runs")
                step->runs = GetList(words);
            else if (what == "phases") {
                Phases& p = step->phases;
                words >> p.start >> p.caches >> p.scan1 >> p.scan2 >> p.conflicts >> p.changes >> p.deletions >> p.end;
            } else if (what == "bare") {
                BareTimes& b = step->bare;
                words >> b.tables >> b.scan1 >> b.scan2 >> b.items;
            } else if (what == "call") {
                std::string method;
                long n = 0;
                words >> method >> n;
                step->calls[method] = n;
            }
        } else if (key == "items") {
            words >> f.items;
            any = true;
        } else if (key == "repetitions")
            words >> f.repetitions;
        else if (key == "engine") {
            int engine = 1;
            words >> engine;
            f.engine = engine != 0;
        } else if (key == "firstratios")
            f.firstSyncRatios = GetList(words);
        else if (key == "rerunratios")
            f.rerunRatios = GetList(words);
        else if (key == "changeditems")
            words >> f.changedItems;
        else if (key == "cacheload")
            words >> f.cacheLoadMs;
        else if (key == "cachesave")
            words >> f.cacheSaveMs;
        else if (key == "pairids")
            words >> f.pairIdsMs;
        else if (key == "rerunopenentry")
            words >> f.rerunOpenEntry;
        else if (key == "cachebytes")
            words >> f.cacheBytesPerItem;
        else if (key == "idbytes")
            words >> f.identifierBytesPerItem;
        else if (key == "peakws")
            words >> f.peak.workingSetMB;
        else if (key == "peakpf")
            words >> f.peak.pagefileMB;
        else if (key == "failure") {
            std::getline(words, f.failure);
            if (!f.failure.empty() && f.failure[0] == ' ') f.failure.erase(0, 1);
        }
    }
    return any;
}

} // namespace bench
