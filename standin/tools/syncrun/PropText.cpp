#include "PropText.h"

#include <mapitags.h>

#include <cstdio>
#include <cstdlib>

#include "Standin.h"
#include "engine/CopyMark.h"
#include "mapi/MAPITags.h"

namespace syncrun {
namespace {

struct NamedTag {
    const char* name;
    ULONG tag;
};

// What a user sees of calendar items, contacts, tasks and notes without named properties.
const NamedTag kNames[] = {
    {"subject", PR_SUBJECT_A},
    {"body", PR_BODY_A},
    {"class", PR_MESSAGE_CLASS_A},
    {"importance", PR_IMPORTANCE},
    {"sensitivity", PR_SENSITIVITY},
    {"start", PR_START_DATE},
    {"end", PR_END_DATE},
    {"given", PR_GIVEN_NAME_A},
    {"surname", PR_SURNAME_A},
    {"company", PR_COMPANY_NAME_A},
    {"title", PR_TITLE_A},
    {"phone", PR_BUSINESS_TELEPHONE_NUMBER_A},
    {"mobile", PR_MOBILE_TELEPHONE_NUMBER_A},
    {"email", PR_EMAIL_ADDRESS_A},
    {"name", PR_DISPLAY_NAME_A},
};

std::string Hex8(ULONG v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lX", v);
    return buffer;
}

bool ParseInteger(const std::string& text, LONGLONG& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    out = hex ? static_cast<LONGLONG>(std::strtoull(text.c_str() + 2, &end, 16)) : std::strtoll(text.c_str(), &end, 10);
    return end && *end == '\0';
}

// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" (a space may stand for the T), UTC.
bool ParseTime(const std::string& text, FILETIME& out) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char sep = 0;
    int used = 0;
    const int n = std::sscanf(text.c_str(), "%4u-%2u-%2u%n%c%2u:%2u:%2u", &year, &month, &day, &used, &sep, &hour,
                              &minute, &second);
    if (n == 3 && static_cast<size_t>(used) != text.size()) return false;
    if (n != 3 && (n < 6 || (sep != 'T' && sep != ' '))) return false;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    return SystemTimeToFileTime(&st, &out) != FALSE;
}

bool ParseHex(const std::string& text, std::string& out) {
    if (text.size() % 2) return false;
    out.clear();
    for (size_t k = 0; k < text.size(); k += 2) {
        char* end = nullptr;
        const std::string pair = text.substr(k, 2);
        const long v = std::strtol(pair.c_str(), &end, 16);
        if (!end || *end) return false;
        out.push_back(static_cast<char>(v));
    }
    return true;
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c >= 0x7F) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& s) {
    if (s.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

} // namespace

ULONG TagOfName(const std::string& name) {
    for (const NamedTag& n : kNames)
        if (name == n.name) return n.tag;
    LONGLONG v = 0;
    if (name.size() == 10 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X') && ParseInteger(name, v))
        return static_cast<ULONG>(v);
    return 0;
}

std::string NameOfTag(ULONG tag) {
    for (const NamedTag& n : kNames)
        if (PROP_ID(n.tag) == PROP_ID(tag) && (PROP_TYPE(n.tag) == PROP_TYPE(tag))) return n.name;
    return Hex8(tag);
}

std::string KnownNames() {
    std::string out;
    for (const NamedTag& n : kNames) {
        if (!out.empty()) out += ", ";
        out += n.name;
    }
    return out;
}

bool ParseAssignment(const std::string& text, ULONG& tag, standin::Value& value, std::string& error) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "expected name=value, got '" + text + "'";
        return false;
    }
    const std::string name = text.substr(0, eq);
    const std::string v = text.substr(eq + 1);
    tag = TagOfName(name);
    if (!tag) {
        error = "unknown property '" + name + "' (known: " + KnownNames() + ", or a tag such as 0x1000001E)";
        return false;
    }
    value = standin::Value();
    if (v.empty()) return true; // PT_NULL: remove
    const ULONG type = PROP_TYPE(tag);
    LONGLONG i = 0;
    switch (type) {
        case PT_STRING8:
            value = standin::Value::String(v);
            return true;
        case PT_UNICODE:
            value = standin::Value::Wide(Widen(v));
            return true;
        case PT_I2:
        case PT_LONG:
        case PT_I8:
        case PT_CURRENCY:
            if (!ParseInteger(v, i)) break;
            value.type = type;
            value.i = type == PT_LONG ? static_cast<LONG>(i) : type == PT_I2 ? static_cast<short>(i) : i;
            return true;
        case PT_BOOLEAN:
            if (v != "true" && v != "false" && v != "1" && v != "0") break;
            value = standin::Value::Bool(v == "true" || v == "1");
            return true;
        case PT_SYSTIME: {
            FILETIME t;
            if (!ParseTime(v, t)) break;
            value = standin::Value::Time(t);
            return true;
        }
        case PT_DOUBLE:
        case PT_FLOAT:
        case PT_APPTIME: {
            char* end = nullptr;
            const double d = std::strtod(v.c_str(), &end);
            if (!end || *end) break;
            value.type = type;
            value.d = d;
            return true;
        }
        case PT_BINARY: {
            std::string bytes;
            if (!ParseHex(v, bytes)) break;
            value = standin::Value::Binary(bytes);
            return true;
        }
        default:
            error = "properties of type " + Hex8(type) + " cannot be set from the command line";
            return false;
    }
    error = "'" + v + "' is no value for " + name;
    return false;
}

std::string FormatTime(FILETIME time) {
    SYSTEMTIME st;
    char buffer[64];
    const ULONGLONG raw = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    if (!FileTimeToSystemTime(&time, &st)) {
        std::snprintf(buffer, sizeof buffer, "0x%016llX", raw);
        return buffer;
    }
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond);
    std::string out = buffer;
    if (raw % 10000000ULL) {
        std::snprintf(buffer, sizeof buffer, ".%07llu", raw % 10000000ULL);
        out += buffer;
    }
    return out;
}

std::string FormatValue(const standin::Value& value) {
    char buffer[64];
    switch (value.type) {
        case PT_NULL:
            return "(none)";
        case PT_I2:
        case PT_LONG:
        case PT_I8:
        case PT_CURRENCY:
            return std::to_string(value.i);
        case PT_BOOLEAN:
            return value.i ? "true" : "false";
        case PT_ERROR:
            return "error " + Hex8(static_cast<ULONG>(value.i));
        case PT_SYSTIME:
            return FormatTime(value.AsTime());
        case PT_FLOAT:
        case PT_DOUBLE:
        case PT_APPTIME:
            std::snprintf(buffer, sizeof buffer, "%.15g", value.d);
            return buffer;
        case PT_STRING8:
            return Quote(value.s);
        case PT_UNICODE:
            return Quote(Narrow(value.w));
        case PT_BINARY:
        case PT_CLSID:
            return value.s.empty() ? std::string("-") : standin::Hex(value.s);
        default:
            break;
    }
    std::string out = "[";
    for (const standin::Value& e : value.mv) out += " " + FormatValue(e);
    return out + " ]";
}

bool IsBookkeepingProp(const standin::Bytes& store, ULONG tag) {
    static const ULONG kTags[] = {PR_ENTRYID,
                                  PR_RECORD_KEY,
                                  PR_LONGTERM_ENTRYID_FROM_TABLE,
                                  PR_PARENT_ENTRYID,
                                  PR_LAST_MODIFICATION_TIME,
                                  PR_CREATION_TIME,
                                  PR_STORE_ENTRYID,
                                  PR_STORE_RECORD_KEY,
                                  PR_INSTANCE_KEY};
    for (ULONG t : kTags)
        if (PROP_ID(t) == PROP_ID(tag)) return true;
    // The add-in's own marks, which Outlook does not show.
    GUID set{};
    return standin::NamedPropSet(store, tag, &set) && IsEqualGUID(set, CCopyMark::kPropertySet);
}

} // namespace syncrun
