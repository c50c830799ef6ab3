// zxbench: the synchronization engine measured over the stand-in MAPI at several folder sizes.
//   zxbench [--reps R] [--heap] [items ...]      (default: 1000 10000 100000)
// Engine and bare loops run side by side in one world, in alternating order; every ratio is printed
// with its spread over the pairs of runs.
// --heap is a diagnosis: the engine's own buffers (ids, keys) then come from the process heap instead
// of MAPI's allocator, which shows what MAPIAllocateBuffer costs the engine.
// Each size runs in a process of its own (so that its peak memory is its own); the table compares
// the engine with bare loops of the same MAPI calls. Exit code 0 when every target is met, 1 when a
// target is missed or an item was opened in a run with nothing changed, 2 when a run went wrong.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchRun.h"
#include "base/StringTable.h"
#include "mapi/MAPIModule.h"

namespace {

using namespace bench;

constexpr double kFirstSyncTarget = 1.10;
constexpr double kRerunTarget = 1.5;
constexpr double kBytesPerItemTarget = 300; // engine bytes per cached item beyond the identifiers' own
constexpr double kStallTarget = 100; // ms the message loop may wait during an automatic run

struct Handle {
    HANDLE h = nullptr;
    ~Handle() {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// Automatic runs beside the user: the longest stall of the message loop over a 1 000-item first sync
// and a 10 000-item rerun with nothing changed (each size's other run shown too). True when met.
bool StallTable(bool& broken) {
    Print("\nAutomatic runs (engine stepped on Outlook's thread): longest stall of the message loop\n");
    Print("    items  run                 whole run ms  steps  longest stall ms  target  result\n");
    Print("  -------  ------------------  ------------  -----  ----------------  ------  ------\n");
    bool met = true;
    for (const int items : {1000, 10000}) {
        std::fprintf(stderr, "zxbench: automatic runs over %d items...\n", items);
        const StallFigures f = MeasureStall(items);
        if (!f.failure.empty()) {
            Print("  FAILED: " + f.failure + "\n");
            broken = true;
            continue;
        }
        const bool firstCounts = items == 1000, noChangeCounts = items == 10000;
        const bool firstOk = f.firstSyncLongest <= kStallTarget, noChangeOk = f.noChangeLongest <= kStallTarget;
        if (firstCounts) met = met && firstOk;
        if (noChangeCounts) met = met && noChangeOk;
        Print(ZxFormat("  %7d  %-18s  %12.1f  %5d  %16.1f  %6s  %s\n", items, "first sync", f.firstSyncMs,
                       f.firstSyncSteps, f.firstSyncLongest, firstCounts ? "<= 100" : "", firstCounts ? (firstOk ? "ok" : "MISSED") : "-"));
        Print(ZxFormat("  %7d  %-18s  %12.1f  %5d  %16.1f  %6s  %s\n", items, "no-change rerun", f.noChangeMs,
                       f.noChangeSteps, f.noChangeLongest, noChangeCounts ? "<= 100" : "", noChangeCounts ? (noChangeOk ? "ok" : "MISSED") : "-"));
    }
    Print("  (a stall: the longest time one message of the loop took; a step gives the thread back after 25 ms)\n");
    return met;
}

// Runs this program for one size and reads what it prints.
bool RunChild(int items, int repetitions, bool heap, bool engine, SizeFigures& figures, std::string& output) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = ZxFormat("\"%s\" --child %d %d %s %s", self, items, repetitions, heap ? "heap" : "mapi",
                                   engine ? "engine" : "bare");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle readEnd, writeEnd;
    if (!CreatePipe(&readEnd.h, &writeEnd.h, &inherit, 0)) return false;
    SetHandleInformation(readEnd.h, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.h;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return false;
    Handle processHandle{process.hProcess}, threadHandle{process.hThread};
    CloseHandle(writeEnd.h);
    writeEnd.h = nullptr;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.h, buffer, sizeof buffer, &got, nullptr) && got) output.append(buffer, got);
    WaitForSingleObject(process.hProcess, INFINITE);
    return Deserialize(output, figures);
}

std::string Ratio(double a, double b) { return b > 0 ? ZxFormat("%5.2f", a / b) : std::string("    -"); }

std::string CallsPerItem(const StepFigures& step, int items) {
    std::string text;
    for (const auto& [method, n] : step.calls) {
        if (!text.empty()) text += ", ";
        text += ZxFormat("%s %.2f", method.c_str(), static_cast<double>(n) / items);
    }
    return text.empty() ? std::string("(none)") : text;
}

std::string Spread(const std::vector<double>& ratios) {
    if (ratios.empty()) return std::string("-");
    std::string text;
    for (double r : ratios) text += (text.empty() ? "" : " ") + ZxFormat("%.2f", r);
    return text;
}

// One line of the step table: engine and bare (the stand-in's own work for the same calls).
std::string PhaseLine(const char* name, double engine, double bare) {
    return ZxFormat("    %-30s %9.1f  %9.1f  %s\n", name, engine, bare, bare > 0 ? Ratio(engine, bare).c_str() : "    -");
}

std::string PhasesTable(const char* title, const Phases& p, const BareTimes& b) {
    std::string text = ZxFormat("  %s (ms; bare = the stand-in's own work for the same calls):\n", title);
    text += "    step                           engine       bare   ratio\n";
    text += PhaseLine("caches, index, both tables", p.start + p.caches, b.tables);
    text += PhaseLine("scan of folder 1", p.scan1, b.scan1);
    text += PhaseLine("scan of folder 2", p.scan2, b.scan2);
    text += PhaseLine("conflict search", p.conflicts, 0);
    text += PhaseLine("changes (open, create, copy...)", p.changes, b.items);
    text += PhaseLine("deletions and cache saves", p.deletions, 0);
    text += PhaseLine("closing lines and teardown", p.end, 0);
    const double engine = p.start + p.caches + p.scan1 + p.scan2 + p.conflicts + p.changes + p.deletions + p.end;
    text += PhaseLine("all", engine, b.tables + b.scan1 + b.scan2 + b.items);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc == 6 && std::string(argv[1]) == "--child") {
        // As after the add-in connected to Outlook: MAPI's allocator serves the engine's buffers.
        ZxMAPIModule::Instance().SetMAPIInUse(std::string(argv[4]) != "heap");
        const SizeFigures figures =
            MeasureSize(std::atoi(argv[2]), std::atoi(argv[3]), std::string(argv[5]) == "engine");
        Print(Serialize(figures));
        return 0;
    }

    if (argc == 2 && std::string(argv[1]) == "--stall") {
        bool broken = false;
        const bool met = StallTable(broken);
        if (broken) return 2;
        Print(met ? "\nAll targets met.\n" : "\nA target was missed.\n");
        return met ? 0 : 1;
    }

    int repetitionsAsked = 0;
    bool heap = false;
    std::vector<int> sizes;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--reps" && k + 1 < argc)
            repetitionsAsked = std::atoi(argv[++k]);
        else if (arg == "--heap")
            heap = true;
        else if (std::atoi(arg.c_str()) > 0)
            sizes.push_back(std::atoi(arg.c_str()));
        else {
            std::fprintf(stderr, "usage: zxbench [--reps R] [--heap] [items ...] | zxbench --stall\n");
            return 2;
        }
    }
    if (sizes.empty()) sizes = {1000, 10000, 100000};

    bool missed = false, broken = false;
    std::vector<SizeFigures> all;
    std::vector<double> peakWithout;
    for (int items : sizes) {
        // Small sizes are quick and noisy: the best of several runs.
        const int repetitions = repetitionsAsked > 0 ? repetitionsAsked : items <= 10000 ? 3 : 1;
        SizeFigures figures, bare;
        std::string output, bareOutput;
        std::fprintf(stderr, "zxbench: measuring %d items (%d run%s)...\n", items, repetitions,
                     repetitions == 1 ? "" : "s");
        if (!RunChild(items, repetitions, heap, true, figures, output)) {
            std::fprintf(stderr, "zxbench: the run for %d items failed:\n%s\n", items, output.c_str());
            broken = true;
            continue;
        }
        // The same world and bare loops without the engine: the peak memory the engine adds.
        std::fprintf(stderr, "zxbench: measuring %d items without the engine...\n", items);
        if (!RunChild(items, 1, heap, false, bare, bareOutput) || !bare.failure.empty()) {
            std::fprintf(stderr, "zxbench: the run for %d items without the engine failed:\n%s\n", items,
                         bareOutput.c_str());
            broken = true;
        }
        all.push_back(figures);
        peakWithout.push_back(bare.peak.workingSetMB);
    }

    Print("\nSynchronization engine over the stand-in MAPI (times: best of the runs, milliseconds)\n");
    if (heap) Print("DIAGNOSIS: the engine's buffers come from the process heap, not from MAPIAllocateBuffer\n");
    Print("\n");
    Print("    items  step                engine ms     bare ms  us/item   ratio  target  result  ratios side by side\n");
    Print("  -------  ------------------  ---------  ----------  -------  ------  ------  ------  -------------------\n");
    for (const SizeFigures& f : all) {
        const double firstRatio = f.firstSync.ms / f.bareFirstSync.ms;
        const double rerunRatio = f.rerun.ms / f.bareScan.ms;
        const bool firstOk = firstRatio <= kFirstSyncTarget;
        const bool rerunOk = rerunRatio <= kRerunTarget;
        const bool noOpen = f.rerunOpenEntry == 0;
        missed = missed || !firstOk || !rerunOk || !noOpen;
        if (!f.failure.empty()) broken = true;
        const double perItem = 1000.0 / f.items;
        Print(ZxFormat("  %7d  %-18s  %9.1f  %10.1f  %7.2f  %s  <=%4.2f  %-6s  %s\n", f.items, "first sync", f.firstSync.ms,
                       f.bareFirstSync.ms, f.firstSync.ms * perItem, Ratio(f.firstSync.ms, f.bareFirstSync.ms).c_str(),
                       kFirstSyncTarget, firstOk ? "ok" : "MISSED", Spread(f.firstSyncRatios).c_str()));
        Print(ZxFormat("  %7d  %-18s  %9.1f  %10.1f  %7.2f  %s  <=%4.2f  %-6s  %s\n", f.items, "no-change rerun", f.rerun.ms,
                       f.bareScan.ms, f.rerun.ms * perItem, Ratio(f.rerun.ms, f.bareScan.ms).c_str(), kRerunTarget,
                       rerunOk ? "ok" : "MISSED", Spread(f.rerunRatios).c_str()));
        Print(ZxFormat("  %7d  %-18s  %9.1f  %10s  %7.2f  %5s  %6s  (%d items changed)\n", f.items, "1% changed rerun",
                       f.changedRerun.ms, "", f.changedRerun.ms * perItem, "", "", f.changedItems));
        Print(ZxFormat("  %7d  %-18s  %9.1f  %10s  %7.2f  %5s  %6s  (load %.1f + save %.1f)\n", f.items,
                       "cache load+save", f.cacheLoadMs + f.cacheSaveMs, "", (f.cacheLoadMs + f.cacheSaveMs) * perItem,
                       "", "", f.cacheLoadMs, f.cacheSaveMs));
        Print(ZxFormat("  %7d  %-18s  %9.1f  %10s  %7.2f  %5s  %6s  (%s of the first sync's engine time)\n", f.items,
                       "pair ids (GUIDs)", f.pairIdsMs, "", f.pairIdsMs * perItem, "",
                       "", Ratio(f.pairIdsMs, f.firstSync.ms).c_str()));
    }
    Print(
        "\n  bare: first sync = the same MAPI calls made directly (both tables taken, both folders scanned,\n"
        "  then per item open, create, subject, CopyTo, SaveChanges, record key, time, entry id); no-change\n"
        "  rerun = a QueryRows scan of both folders (same 5 columns, batches of 200, both tables held).\n"
        "  First syncs run twice, bare then engine and engine then bare, in one world; no-change runs\n"
        "  four times, alternating. Ratios side by side: engine / bare of each such pair.\n"
        "  Not in the bare loops, but work the engine cannot leave out: a pair id (a GUID) for every\n"
        "  new item (timed apart above), loading and writing both state caches, the log lines.\n");

    Print("\n  Memory       cache bytes/item  identifiers  beyond them  target  result  peak WS MB  without engine\n");
    for (size_t k = 0; k < all.size(); ++k) {
        const SizeFigures& f = all[k];
        const double beyond = f.cacheBytesPerItem - f.identifierBytesPerItem;
        const bool memoryOk = beyond <= kBytesPerItemTarget;
        missed = missed || !memoryOk;
        Print(ZxFormat("  %7d      %16.1f  %11.1f  %11.1f  <=%4.0f  %-6s  %10.1f  %14.1f\n", f.items, f.cacheBytesPerItem,
                       f.identifierBytesPerItem, beyond, kBytesPerItemTarget, memoryOk ? "ok" : "MISSED",
                       f.peak.workingSetMB, peakWithout[k]));
    }
    Print("  (cache bytes: the heap a loaded cache holds per item, counted over every heap's busy blocks)\n");

    for (const SizeFigures& f : all) {
        Print(ZxFormat("\n%d items (%d run%s): peak working set %.1f MB, peak pagefile %.1f MB\n", f.items,
                       f.repetitions, f.repetitions == 1 ? "" : "s", f.peak.workingSetMB, f.peak.pagefileMB));
        Print("  MAPI calls per item:\n");
        Print("    first sync, engine      " + CallsPerItem(f.firstSync, f.items) + "\n");
        Print("    first sync, bare loop   " + CallsPerItem(f.bareFirstSync, f.items) + "\n");
        Print("    no-change rerun, engine " + CallsPerItem(f.rerun, f.items) + "\n");
        Print("    no-change rerun, bare   " + CallsPerItem(f.bareScan, f.items) + "\n");
        Print("    1% changed, engine      " + CallsPerItem(f.changedRerun, f.items) + "\n");
        Print(PhasesTable("first sync by step", f.firstSync.phases, f.bareFirstSync.bare));
        Print(PhasesTable("no-change rerun by step", f.rerun.phases, f.bareScan.bare));
        Print(ZxFormat("  IMAPIFolder::OpenEntry during the no-change reruns: %ld (%s)\n", f.rerunOpenEntry,
                       f.rerunOpenEntry == 0 ? "no item opened" : "ITEMS WERE OPENED"));
        if (!f.failure.empty()) Print("  FAILED: " + f.failure + "\n");
    }
    missed = !StallTable(broken) || missed;
    if (broken) {
        Print("\nA run went wrong (see above).\n");
        return 2;
    }
    Print(missed ? "\nA target was missed.\n" : "\nAll targets met.\n");
    return missed ? 1 : 0;
}
