// Property values: bags keyed by property id, conversion between the stand-in's Value and
// MAPI's SPropValue, and the 8-bit/Unicode string conversion real stores perform.
#include "Internal.h"

#include <cstring>

namespace standin::detail {

void BagSet(Bag& bag, ULONG tag, const Value& v) {
    if (v.type == PT_NULL) {
        bag.erase(PROP_ID(tag));
    } else {
        bag[PROP_ID(tag)] = v;
    }
}

const Value* BagFind(const Bag& bag, ULONG tag) {
    auto it = bag.find(PROP_ID(tag));
    return it == bag.end() ? nullptr : &it->second;
}

PropMap BagToPropMap(const Bag& bag) {
    PropMap m;
    for (const auto& [id, v] : bag) m[PROP_TAG(v.type, id)] = v;
    return m;
}

Bag PropMapToBag(const PropMap& map) {
    Bag b;
    for (const auto& [tag, v] : map) BagSet(b, tag, v);
    return b;
}

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring Widen(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

Value BinaryValue(const Bytes& b) { return Value::Binary(b); }

Value TimeValueOf(ULONGLONG t) {
    Value v;
    v.type = PT_SYSTIME;
    v.i = static_cast<LONGLONG>(t);
    return v;
}

Bytes BytesOf(ULONG cb, const void* p) {
    if (!p || cb == 0) return Bytes();
    return Bytes(static_cast<const char*>(p), cb);
}

bool Convert(const Value& v, ULONG req, bool unicode, Value* out) {
    if (v.type == PT_ERROR) { // a stored error stays an error whatever was asked
        *out = v;
        return true;
    }
    if (req == PT_UNSPECIFIED) {
        req = v.type;
        if (unicode && req == PT_STRING8) req = PT_UNICODE;
        if (unicode && req == PT_MV_STRING8) req = PT_MV_UNICODE;
    }
    if (req == v.type) {
        *out = v;
        return true;
    }
    if (req == PT_STRING8 && v.type == PT_UNICODE) {
        *out = Value::String(Narrow(v.w));
        return true;
    }
    if (req == PT_UNICODE && v.type == PT_STRING8) {
        *out = Value::Wide(Widen(v.s));
        return true;
    }
    if ((req == PT_MV_STRING8 && v.type == PT_MV_UNICODE) || (req == PT_MV_UNICODE && v.type == PT_MV_STRING8)) {
        Value r;
        r.type = req;
        for (const Value& e : v.mv) {
            Value c;
            if (!Convert(e, req & ~MV_FLAG, unicode, &c)) return false;
            r.mv.push_back(c);
        }
        *out = r;
        return true;
    }
    return false;
}

namespace {

void SetError(SPropValue& out, ULONG tag, SCODE sc) {
    out.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tag));
    out.Value.err = sc;
}

template <class T>
T* MoreArray(size_t n, void* root) {
    return static_cast<T*>(AllocMore(sizeof(T) * (n ? n : 1), root));
}

FILETIME Ft(LONGLONG i) {
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(static_cast<ULONGLONG>(i) & 0xFFFFFFFFu);
    t.dwHighDateTime = static_cast<DWORD>(static_cast<ULONGLONG>(i) >> 32);
    return t;
}

LONGLONG FromFt(const FILETIME& t) {
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

bool Write(SPropValue& out, const Value& v, void* root) {
    auto& pv = out.Value;
    const size_t n = v.mv.size();
    switch (v.type) {
        case PT_NULL:
            pv.x = 0;
            return true;
        case PT_I2:
            pv.i = static_cast<short>(v.i);
            return true;
        case PT_LONG:
            pv.l = static_cast<LONG>(v.i);
            return true;
        case PT_BOOLEAN:
            pv.b = v.i ? 1 : 0;
            return true;
        case PT_I8:
            pv.li.QuadPart = v.i;
            return true;
        case PT_CURRENCY:
            pv.cur.int64 = v.i;
            return true;
        case PT_ERROR:
            pv.err = static_cast<SCODE>(v.i);
            return true;
        case PT_SYSTIME:
            pv.ft = Ft(v.i);
            return true;
        case PT_FLOAT:
            pv.flt = static_cast<float>(v.d);
            return true;
        case PT_DOUBLE:
            pv.dbl = v.d;
            return true;
        case PT_APPTIME:
            pv.at = v.d;
            return true;
        case PT_STRING8:
            pv.lpszA = DupString(v.s, root);
            return pv.lpszA != nullptr;
        case PT_UNICODE:
            pv.lpszW = DupWide(v.w, root);
            return pv.lpszW != nullptr;
        case PT_BINARY:
            pv.bin.cb = static_cast<ULONG>(v.s.size());
            pv.bin.lpb = MoreArray<BYTE>(v.s.size(), root);
            if (!pv.bin.lpb) return false;
            std::memcpy(pv.bin.lpb, v.s.data(), v.s.size());
            return true;
        case PT_CLSID:
            pv.lpguid = MoreArray<GUID>(1, root);
            if (!pv.lpguid) return false;
            std::memset(pv.lpguid, 0, sizeof(GUID));
            std::memcpy(pv.lpguid, v.s.data(), v.s.size() < sizeof(GUID) ? v.s.size() : sizeof(GUID));
            return true;
        case PT_MV_I2:
            pv.MVi.cValues = static_cast<ULONG>(n);
            pv.MVi.lpi = MoreArray<short>(n, root);
            for (size_t k = 0; k < n; ++k) pv.MVi.lpi[k] = static_cast<short>(v.mv[k].i);
            return true;
        case PT_MV_LONG:
            pv.MVl.cValues = static_cast<ULONG>(n);
            pv.MVl.lpl = MoreArray<LONG>(n, root);
            for (size_t k = 0; k < n; ++k) pv.MVl.lpl[k] = static_cast<LONG>(v.mv[k].i);
            return true;
        case PT_MV_I8:
            pv.MVli.cValues = static_cast<ULONG>(n);
            pv.MVli.lpli = MoreArray<LARGE_INTEGER>(n, root);
            for (size_t k = 0; k < n; ++k) pv.MVli.lpli[k].QuadPart = v.mv[k].i;
            return true;
        case PT_MV_CURRENCY:
            pv.MVcur.cValues = static_cast<ULONG>(n);
            pv.MVcur.lpcur = MoreArray<CURRENCY>(n, root);
            for (size_t k = 0; k < n; ++k) pv.MVcur.lpcur[k].int64 = v.mv[k].i;
            return true;
        case PT_MV_SYSTIME:
            pv.MVft.cValues = static_cast<ULONG>(n);
            pv.MVft.lpft = MoreArray<FILETIME>(n, root);
            for (size_t k = 0; k < n; ++k) pv.MVft.lpft[k] = Ft(v.mv[k].i);
            return true;
        case PT_MV_FLOAT:
            pv.MVflt.cValues = static_cast<ULONG>(n);
            pv.MVflt.lpflt = MoreArray<float>(n, root);
            for (size_t k = 0; k < n; ++k) pv.MVflt.lpflt[k] = static_cast<float>(v.mv[k].d);
            return true;
        case PT_MV_DOUBLE:
            pv.MVdbl.cValues = static_cast<ULONG>(n);
            pv.MVdbl.lpdbl = MoreArray<double>(n, root);
            for (size_t k = 0; k < n; ++k) pv.MVdbl.lpdbl[k] = v.mv[k].d;
            return true;
        case PT_MV_APPTIME:
            pv.MVat.cValues = static_cast<ULONG>(n);
            pv.MVat.lpat = MoreArray<double>(n, root);
            for (size_t k = 0; k < n; ++k) pv.MVat.lpat[k] = v.mv[k].d;
            return true;
        case PT_MV_STRING8:
            pv.MVszA.cValues = static_cast<ULONG>(n);
            pv.MVszA.lppszA = MoreArray<LPSTR>(n, root);
            for (size_t k = 0; k < n; ++k) pv.MVszA.lppszA[k] = DupString(v.mv[k].s, root);
            return true;
        case PT_MV_UNICODE:
            pv.MVszW.cValues = static_cast<ULONG>(n);
            pv.MVszW.lppszW = MoreArray<LPWSTR>(n, root);
            for (size_t k = 0; k < n; ++k) pv.MVszW.lppszW[k] = DupWide(v.mv[k].w, root);
            return true;
        case PT_MV_BINARY:
            pv.MVbin.cValues = static_cast<ULONG>(n);
            pv.MVbin.lpbin = MoreArray<SBinary>(n, root);
            for (size_t k = 0; k < n; ++k) {
                pv.MVbin.lpbin[k].cb = static_cast<ULONG>(v.mv[k].s.size());
                pv.MVbin.lpbin[k].lpb = MoreArray<BYTE>(v.mv[k].s.size(), root);
                std::memcpy(pv.MVbin.lpbin[k].lpb, v.mv[k].s.data(), v.mv[k].s.size());
            }
            return true;
        case PT_MV_CLSID:
            pv.MVguid.cValues = static_cast<ULONG>(n);
            pv.MVguid.lpguid = MoreArray<GUID>(n, root);
            for (size_t k = 0; k < n; ++k) {
                std::memset(&pv.MVguid.lpguid[k], 0, sizeof(GUID));
                std::memcpy(&pv.MVguid.lpguid[k], v.mv[k].s.data(),
                            v.mv[k].s.size() < sizeof(GUID) ? v.mv[k].s.size() : sizeof(GUID));
            }
            return true;
        default:
            return false;
    }
}

} // namespace

bool FillProp(SPropValue& out, ULONG tag, const Value* v, bool unicode, void* root) {
    out.dwAlignPad = 0;
    Value c;
    if (!v || !Convert(*v, PROP_TYPE(tag), unicode, &c)) {
        SetError(out, tag, MAPI_E_NOT_FOUND);
        return false;
    }
    if (c.type == PT_ERROR) {
        SetError(out, tag, static_cast<SCODE>(c.i));
        return false;
    }
    out.ulPropTag = PROP_TAG(c.type, PROP_ID(tag));
    if (!Write(out, c, root)) {
        SetError(out, tag, MAPI_E_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

bool ToValue(const SPropValue& p, Value* out) {
    const auto& pv = p.Value;
    Value v;
    v.type = PROP_TYPE(p.ulPropTag);
    auto each = [&](ULONG count, auto&& f) {
        for (ULONG k = 0; k < count; ++k) v.mv.push_back(f(k));
    };
    switch (v.type) {
        case PT_NULL:
            break;
        case PT_I2:
            v.i = pv.i;
            break;
        case PT_LONG:
            v.i = pv.l;
            break;
        case PT_BOOLEAN:
            v.i = pv.b ? 1 : 0;
            break;
        case PT_I8:
            v.i = pv.li.QuadPart;
            break;
        case PT_CURRENCY:
            v.i = pv.cur.int64;
            break;
        case PT_ERROR:
            v.i = pv.err;
            break;
        case PT_SYSTIME:
            v.i = FromFt(pv.ft);
            break;
        case PT_FLOAT:
            v.d = pv.flt;
            break;
        case PT_DOUBLE:
            v.d = pv.dbl;
            break;
        case PT_APPTIME:
            v.d = pv.at;
            break;
        case PT_STRING8:
            v.s = pv.lpszA ? pv.lpszA : "";
            break;
        case PT_UNICODE:
            v.w = pv.lpszW ? pv.lpszW : L"";
            break;
        case PT_BINARY:
            v.s = BytesOf(pv.bin.cb, pv.bin.lpb);
            break;
        case PT_CLSID:
            v.s = pv.lpguid ? BytesOf(sizeof(GUID), pv.lpguid) : Bytes(sizeof(GUID), '\0');
            break;
        case PT_MV_I2:
            each(pv.MVi.cValues, [&](ULONG k) { return Value::Short(pv.MVi.lpi[k]); });
            break;
        case PT_MV_LONG:
            each(pv.MVl.cValues, [&](ULONG k) { return Value::Long(pv.MVl.lpl[k]); });
            break;
        case PT_MV_I8:
            each(pv.MVli.cValues, [&](ULONG k) { return Value::I8(pv.MVli.lpli[k].QuadPart); });
            break;
        case PT_MV_CURRENCY:
            each(pv.MVcur.cValues, [&](ULONG k) { return Value::Currency(pv.MVcur.lpcur[k].int64); });
            break;
        case PT_MV_SYSTIME:
            each(pv.MVft.cValues, [&](ULONG k) { return Value::Time(pv.MVft.lpft[k]); });
            break;
        case PT_MV_FLOAT:
            each(pv.MVflt.cValues, [&](ULONG k) { return Value::Float(pv.MVflt.lpflt[k]); });
            break;
        case PT_MV_DOUBLE:
            each(pv.MVdbl.cValues, [&](ULONG k) { return Value::Double(pv.MVdbl.lpdbl[k]); });
            break;
        case PT_MV_APPTIME:
            each(pv.MVat.cValues, [&](ULONG k) { return Value::AppTime(pv.MVat.lpat[k]); });
            break;
        case PT_MV_STRING8:
            each(pv.MVszA.cValues,
                 [&](ULONG k) { return Value::String(pv.MVszA.lppszA[k] ? pv.MVszA.lppszA[k] : ""); });
            break;
        case PT_MV_UNICODE:
            each(pv.MVszW.cValues, [&](ULONG k) { return Value::Wide(pv.MVszW.lppszW[k] ? pv.MVszW.lppszW[k] : L""); });
            break;
        case PT_MV_BINARY:
            each(pv.MVbin.cValues,
                 [&](ULONG k) { return Value::Binary(BytesOf(pv.MVbin.lpbin[k].cb, pv.MVbin.lpbin[k].lpb)); });
            break;
        case PT_MV_CLSID:
            each(pv.MVguid.cValues, [&](ULONG k) { return Value::Guid(pv.MVguid.lpguid[k]); });
            break;
        default:
            return false;
    }
    *out = v;
    return true;
}

} // namespace standin::detail
