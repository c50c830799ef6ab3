#include "mapi/Session.h"

ZxIMAPISession& ZxIMAPISession::operator=(IUnknown* unknown) {
    IMAPISession* session = nullptr;
    if (unknown) unknown->QueryInterface(IID_IMAPISession, reinterpret_cast<void**>(&session));
    Attach(session);
    return *this;
}

HRESULT ZxIMAPISession::OpenMsgStore(const SBinary& id, ZxIMsgStore& out, ULONG flags) const {
    if (!Get()) return E_FAIL;
    return Get()->OpenMsgStore(0, id.cb, reinterpret_cast<ENTRYID*>(id.lpb), nullptr, flags,
                               out.ReleaseAndGetAddressOf());
}

ULONG ZxIMAPISession::CompareEntryIDs(const SBinary& id1, const SBinary& id2) const {
    return ZxMAPIDetail::CompareEntryIds(Get(), id1, id2);
}

std::string ZxIMAPISession::GetProfileName() const {
    if (!Get()) return std::string();

    // The profile's own section, {00020385-0000-0000-C000-000000000046}.
    MAPIUID section = {
        {0x85, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    IProfSect* raw = nullptr;
    HRESULT hr = Get()->OpenProfileSection(&section, nullptr, 0, &raw);
    ZxIMAPIProp profile;
    profile.Attach(raw);
    if (FAILED(hr) || !profile) return std::string();

    std::string name;
    if (FAILED(profile.GetPropString(PR_PROFILE_NAME_A, name))) return std::string();
    return name;
}
