#include "engine/CopyMark.h"

#include "mapi/PropValues.h"

const GUID CCopyMark::kPropertySet = {0x6e1f3a52, 0x8c0b, 0x4d7e, {0x9a, 0x41, 0x2b, 0x5c, 0x7d, 0x0e, 0x9f, 0x13}};

namespace {
const wchar_t kMarkName[] = L"CopyForPair";
} // namespace

CCopyMark::CCopyMark(const ZxIMAPIFolder& folder, bool create) {
    if (folder.IsNull()) return;
    CMAPITagsArray tags{CPropTag(kPropertySet, std::wstring(kMarkName), PT_STRING8)};
    m_resolved = tags.ResolveNamedTags(folder.Get(), create);
    // A name the store does not know comes back as an error tag (id 0) with a warning.
    if (FAILED(m_resolved) || PROP_ID(tags[0].GetTag()) == 0) {
        if (SUCCEEDED(m_resolved)) m_resolved = MAPI_E_NOT_FOUND;
        return;
    }
    m_tag = tags[0].GetTag();
}

HRESULT CCopyMark::Set(const ZxIMessage& message, const std::string& pairId) const {
    if (!IsKnown() || message.IsNull()) return E_FAIL;
    SPropValue value{};
    value.ulPropTag = m_tag;
    value.Value.lpszA = const_cast<char*>(pairId.c_str());
    return message->SetProps(1, &value, nullptr);
}

HRESULT CCopyMark::Clear(const ZxIMessage& message) const {
    if (!IsKnown() || message.IsNull()) return S_OK;
    SizedSPropTagArray(1, tags) = {1, {m_tag}};
    return message->DeleteProps(reinterpret_cast<SPropTagArray*>(&tags), nullptr);
}

std::string CCopyMark::Read(const ZxIMessage& message) const {
    std::string pairId;
    if (!IsKnown() || message.IsNull() || FAILED(message.GetPropString(m_tag, pairId))) pairId.clear();
    return pairId;
}
