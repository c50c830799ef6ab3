#include "addin/OutlookEventSinksContainer.h"

#include <vector>

namespace Outlook {

long COutlookEventSinksContainer::Add(const Microsoft::WRL::ComPtr<IZxOutlookEventSink>& sink) {
    zx::critical_section_guard guard(m_lock);
    if (m_purge) Purge();
    const long id = ++m_lastId;
    (*this)[id] = sink;
    return id;
}

Microsoft::WRL::ComPtr<IZxOutlookEventSink> COutlookEventSinksContainer::Get(long id) {
    zx::critical_section_guard guard(m_lock);
    const auto found = find(id);
    return found != end() ? found->second : nullptr;
}

void COutlookEventSinksContainer::Remove(long id) {
    zx::critical_section_guard guard(m_lock);
    const auto found = find(id);
    if (found != end()) {
        if (found->second) found->second->Unadvise();
        erase(found);
    }
    if (m_purge) Purge();
}

void COutlookEventSinksContainer::Purge() {
    zx::critical_section_guard guard(m_lock);
    std::vector<long> stale;
    for (const auto& [id, sink] : *this) {
        VARIANT_BOOL advised = VARIANT_FALSE;
        if (!sink || FAILED(sink->IsAdvised(&advised)) || advised != VARIANT_TRUE) stale.push_back(id);
    }
    for (long id : stale) erase(id);
}

void COutlookEventSinksContainer::RemoveAll() {
    zx::critical_section_guard guard(m_lock);
    for (const auto& [id, sink] : *this)
        if (sink) sink->Unadvise();
    clear();
}

} // namespace Outlook
