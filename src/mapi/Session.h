#pragma once
// The MAPI session of the Outlook profile the add-in runs in.
#include <windows.h>
#include <mapix.h>
#include <wrl/client.h>
#include <string>

#include "mapi/MAPIPropT.h"
#include "mapi/MAPIProps.h"

class ZxIMAPISession : public ZxMAPIContainerT<ZxIMAPISession, IMAPISession> {
public:
    using Interface = IMAPISession;
    static const IID& InterfaceId() { return IID_IMAPISession; }

    ZxIMAPISession() = default;
    // Any interface Outlook hands out: queried for IID_IMAPISession; empty when it has none.
    explicit ZxIMAPISession(IUnknown* unknown) { *this = unknown; }
    ZxIMAPISession& operator=(IUnknown* unknown);
    ~ZxIMAPISession() override = default;

    IMAPISession* Get() const { return m_ptr.Get(); }
    IMAPISession* operator->() const { return m_ptr.Get(); }
    bool IsNull() const { return m_ptr == nullptr; }
    explicit operator bool() const { return m_ptr != nullptr; }
    void Attach(IMAPISession* p) { *m_ptr.ReleaseAndGetAddressOf() = p; }
    void Reset() { m_ptr.Reset(); }

    // E_FAIL with no session; otherwise IMAPISession::OpenMsgStore's result, the store in `out`
    // (0xB1 for the pair model and pair dialog, 0x91 for the picker).
    [[nodiscard]] HRESULT OpenMsgStore(const SBinary& id, ZxIMsgStore& out, ULONG flags) const;
    [[nodiscard]] HRESULT OpenMsgStore(const ZxSBinary& id, ZxIMsgStore& out, ULONG flags) const {
        return OpenMsgStore(id.AsSBinary(), out, flags);
    }
    // Nonzero when both ids name the same object; 0 with no session.
    ULONG CompareEntryIDs(const SBinary& id1, const SBinary& id2) const;
    ULONG CompareEntryIDs(const ZxSBinary& id1, const ZxSBinary& id2) const {
        return CompareEntryIDs(id1.AsSBinary(), id2.AsSBinary());
    }
    // The profile's name; empty with no session or when it cannot be read.
    std::string GetProfileName() const;

private:
    Microsoft::WRL::ComPtr<IMAPISession> m_ptr;
};
