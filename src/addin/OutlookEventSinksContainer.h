#pragma once
// The add-in's event sinks by id. Every operation holds the container's lock.
#include <windows.h>
#include <wrl/client.h>

#include <map>

#include "addin/OutlookEventSink.h"
#include "base/RefCounted.h"
#include "base/Resource.h"

namespace Outlook {

class COutlookEventSinksContainer : public CRefCountedT<FreeThreadedModel>,
                                    public std::map<long, Microsoft::WRL::ComPtr<IZxOutlookEventSink>> {
public:
    explicit COutlookEventSinksContainer(bool purge = true) : m_purge(purge) {}
    ~COutlookEventSinksContainer() override = default;

    // A new id (never given before); with purging on, sinks no longer advised are dropped first.
    long Add(const Microsoft::WRL::ComPtr<IZxOutlookEventSink>& sink);
    Microsoft::WRL::ComPtr<IZxOutlookEventSink> Get(long id);
    void Remove(long id);
    void Purge();
    void RemoveAll();

private:
    zx::critical_section m_lock;
    long m_lastId = 0;
    bool m_purge;
};

} // namespace Outlook
