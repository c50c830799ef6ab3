// Call counters and fault injection for every counted entry point.
#include "Internal.h"

namespace standin::detail {
namespace {

struct Fault {
  std::string method;  // empty: any counted call
  long k = 1;
  long times = 1;      // -1: for ever from the k-th call on
  HRESULT hr = E_FAIL;
  long seen = 0;
};

struct Accounting {
  std::map<std::string, long> counts;
  long total = 0;
  long fired = 0;
  std::vector<Fault> faults;
};

Accounting& Acc() {
  static auto* acc = new Accounting();
  return *acc;
}

thread_local int t_depth = 0;

}  // namespace

std::recursive_mutex& Mutex() {
  static auto* m = new std::recursive_mutex();
  return *m;
}

Call::Call(const std::string& name, const char* alias) : lock_(Mutex()) {
  if (t_depth++ > 0) return;
  Accounting& a = Acc();
  ++a.total;
  ++a.counts[name];
  if (alias) ++a.counts[alias];
  for (Fault& f : a.faults) {
    if (!f.method.empty() && f.method != name && !(alias && f.method == alias)) continue;
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

void ResetCalls() {
  Lock lock(Mutex());
  Acc() = Accounting();
}

}  // namespace standin::detail

using namespace standin::detail;

namespace standin {

void FailCall(const std::string& method, long k, HRESULT hr, long times) {
  Lock lock(Mutex());
  Fault f;
  f.method = method;
  f.k = k < 1 ? 1 : k;
  f.hr = hr;
  f.times = times;
  Acc().faults.push_back(f);
}

void FailNthCall(long k, HRESULT hr) { FailCall(std::string(), k, hr, 1); }

void ClearFaults() {
  Lock lock(Mutex());
  Acc().faults.clear();
  Acc().fired = 0;
}

long FaultsFired() {
  Lock lock(Mutex());
  return Acc().fired;
}

std::map<std::string, long> CallCounts() {
  Lock lock(Mutex());
  return Acc().counts;
}

long CallCount(const std::string& method) {
  Lock lock(Mutex());
  auto it = Acc().counts.find(method);
  return it == Acc().counts.end() ? 0 : it->second;
}

long TotalCalls() {
  Lock lock(Mutex());
  return Acc().total;
}

void ResetCounters() {
  Lock lock(Mutex());
  Acc().counts.clear();
  Acc().total = 0;
}

}  // namespace standin
