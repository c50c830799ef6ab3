// Call counters and fault injection for every counted entry point.
#include "Internal.h"

#include <algorithm>
#include <functional>
#include <map>
#include <unordered_map>

namespace standin::detail {
namespace {

struct Fault {
    int slot = -1; // -1: any counted call
    long k = 1;
    long times = 1; // -1: for ever from the k-th call on
    HRESULT hr = E_FAIL;
    long seen = 0;
};

// A call site's name as the literals it is made of.
struct Site {
    const char* iface;
    const char* method;
    bool operator==(const Site& o) const { return iface == o.iface && method == o.method; }
};
struct SiteHash {
    size_t operator()(const Site& s) const {
        return std::hash<const void*>()(s.iface) * 31 + std::hash<const void*>()(s.method);
    }
};

// Counters live in slots, one per name; a name gets its slot once and keeps it, so that counting a
// call is an index, not a string lookup.
struct Accounting {
    std::map<std::string, int> slotOfName;
    std::vector<std::string> names; // by slot
    std::vector<long> counts; // by slot; 0: not called since the last reset
    std::unordered_map<Site, int, SiteHash> slotOfSite;
    long total = 0;
    long fired = 0;
    std::vector<Fault> faults;
    struct Action {
        int slot;
        long k;
        long seen = 0;
        std::function<void()> run;
    };
    std::vector<Action> actions;
};

Accounting& Acc() {
    static auto* acc = new Accounting();
    return *acc;
}

int SlotOfName(const std::string& name) {
    Accounting& a = Acc();
    auto [it, added] = a.slotOfName.emplace(name, static_cast<int>(a.names.size()));
    if (added) {
        a.names.push_back(name);
        a.counts.push_back(0);
    }
    return it->second;
}

int SlotOfSite(const char* iface, const char* method) {
    Accounting& a = Acc();
    const Site site{iface, method};
    auto found = a.slotOfSite.find(site);
    if (found != a.slotOfSite.end()) return found->second;
    const int slot = SlotOfName(iface ? std::string(iface) + "::" + method : std::string(method));
    a.slotOfSite.emplace(site, slot);
    return slot;
}

thread_local int t_depth = 0;

} // namespace

std::recursive_mutex& Mutex() {
    static auto* m = new std::recursive_mutex();
    return *m;
}

Call::Call(const char* name, const char* alias) : lock_(Mutex()) { Count(nullptr, name, alias); }

Call::Call(Member name, const char* alias) : lock_(Mutex()) { Count(name.iface, name.method, alias); }

void Call::Count(const char* iface, const char* method, const char* alias) {
    if (t_depth++ > 0) return;
    Accounting& a = Acc();
    const int slot = SlotOfSite(iface, method);
    const int aliasSlot = alias ? SlotOfSite(nullptr, alias) : -1;
    ++a.total;
    ++a.counts[slot];
    if (aliasSlot >= 0) ++a.counts[aliasSlot];
    RunBeforeCallActions(slot, aliasSlot);
    for (Fault& f : a.faults) {
        if (f.slot >= 0 && f.slot != slot && f.slot != aliasSlot) continue;
        ++f.seen;
        bool fires = f.seen >= f.k && (f.times < 0 || f.seen < f.k + f.times);
        if (fires && !failed_) {
            failed_ = true;
            hr_ = f.hr;
            ++a.fired;
        }
    }
}

Call::~Call() { --t_depth; }

void RunBeforeCallActions(int slot, int aliasSlot) {
    Accounting& a = Acc();
    if (a.actions.empty()) return;
    std::vector<std::function<void()>> due;
    for (auto it = a.actions.begin(); it != a.actions.end();) {
        if ((it->slot == slot || it->slot == aliasSlot) && ++it->seen >= it->k) {
            due.push_back(std::move(it->run));
            it = a.actions.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& run : due) run();
}

void ResetCalls() {
    Lock lock(Mutex());
    Accounting& a = Acc();
    std::fill(a.counts.begin(), a.counts.end(), 0);
    a.total = 0;
    a.fired = 0;
    a.faults.clear();
    a.actions.clear();
}

} // namespace standin::detail

using namespace standin::detail;

namespace standin {

void FailCall(const std::string& method, long k, HRESULT hr, long times) {
    Lock lock(Mutex());
    Fault f;
    f.slot = method.empty() ? -1 : SlotOfName(method);
    f.k = k < 1 ? 1 : k;
    f.hr = hr;
    f.times = times;
    Acc().faults.push_back(f);
}

void FailNthCall(long k, HRESULT hr) { FailCall(std::string(), k, hr, 1); }

void BeforeCall(const std::string& method, long k, std::function<void()> action) {
    Lock lock(Mutex());
    Acc().actions.push_back({SlotOfName(method), k < 1 ? 1 : k, 0, std::move(action)});
}

void ClearFaults() {
    Lock lock(Mutex());
    Acc().faults.clear();
    Acc().actions.clear();
    Acc().fired = 0;
}

long FaultsFired() {
    Lock lock(Mutex());
    return Acc().fired;
}

std::map<std::string, long> CallCounts() {
    Lock lock(Mutex());
    const Accounting& a = Acc();
    std::map<std::string, long> counts;
    for (size_t slot = 0; slot < a.names.size(); ++slot)
        if (a.counts[slot] != 0) counts.emplace(a.names[slot], a.counts[slot]);
    return counts;
}

long CallCount(const std::string& method) {
    Lock lock(Mutex());
    const Accounting& a = Acc();
    auto it = a.slotOfName.find(method);
    return it == a.slotOfName.end() ? 0 : a.counts[it->second];
}

long TotalCalls() {
    Lock lock(Mutex());
    return Acc().total;
}

void ResetCounters() {
    Lock lock(Mutex());
    std::fill(Acc().counts.begin(), Acc().counts.end(), 0);
    Acc().total = 0;
}

} // namespace standin
