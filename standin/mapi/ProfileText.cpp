// Saving and loading the whole profile as text (format: README.md). The writer emits
// everything needed for an exact round trip; the reader checks every line and names the line of
// the first fault, leaving the current profile untouched.
#include "Internal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace standin::detail {
namespace {

struct TagName {
    ULONG tag;
    const char* name;
};

const TagName kTagNames[] = {
    {PR_ENTRYID, "PR_ENTRYID"},
    {PR_RECORD_KEY, "PR_RECORD_KEY"},
    {PR_PARENT_ENTRYID, "PR_PARENT_ENTRYID"},
    {PR_LONGTERM_ENTRYID_FROM_TABLE, "PR_LONGTERM_ENTRYID_FROM_TABLE"},
    {PR_LAST_MODIFICATION_TIME, "PR_LAST_MODIFICATION_TIME"},
    {PR_CREATION_TIME, "PR_CREATION_TIME"},
    {PR_SUBJECT_A, "PR_SUBJECT_A"},
    {PR_SUBJECT_W, "PR_SUBJECT_W"},
    {PR_MESSAGE_CLASS_A, "PR_MESSAGE_CLASS_A"},
    {PR_MESSAGE_CLASS_W, "PR_MESSAGE_CLASS_W"},
    {PR_BODY_A, "PR_BODY_A"},
    {PR_BODY_W, "PR_BODY_W"},
    {PR_DISPLAY_NAME_A, "PR_DISPLAY_NAME_A"},
    {PR_DISPLAY_NAME_W, "PR_DISPLAY_NAME_W"},
    {PR_CONTAINER_CLASS_A, "PR_CONTAINER_CLASS_A"},
    {PR_MESSAGE_FLAGS, "PR_MESSAGE_FLAGS"},
    {PR_IMPORTANCE, "PR_IMPORTANCE"},
    {PR_SENSITIVITY, "PR_SENSITIVITY"},
    {PR_MDB_PROVIDER, "PR_MDB_PROVIDER"},
    {PR_DEFAULT_STORE, "PR_DEFAULT_STORE"},
    {PR_MAILBOX_OWNER_NAME_A, "PR_MAILBOX_OWNER_NAME_A"},
    {PR_IPM_SUBTREE_ENTRYID, "PR_IPM_SUBTREE_ENTRYID"},
    {PR_IPM_OUTBOX_ENTRYID, "PR_IPM_OUTBOX_ENTRYID"},
    {PR_IPM_SENTMAIL_ENTRYID, "PR_IPM_SENTMAIL_ENTRYID"},
    {PR_IPM_WASTEBASKET_ENTRYID, "PR_IPM_WASTEBASKET_ENTRYID"},
    {PR_IPM_PUBLIC_FOLDERS_ENTRYID, "PR_IPM_PUBLIC_FOLDERS_ENTRYID"},
    {PR_NON_IPM_SUBTREE_ENTRYID, "PR_NON_IPM_SUBTREE_ENTRYID"},
    {PR_STORE_RECORD_KEY, "PR_STORE_RECORD_KEY"},
    {PR_RESOURCE_FLAGS, "PR_RESOURCE_FLAGS"},
    {PR_STORE_SUPPORT_MASK, "PR_STORE_SUPPORT_MASK"},
    {PR_OBJECT_TYPE, "PR_OBJECT_TYPE"},
    {PR_FOLDER_TYPE, "PR_FOLDER_TYPE"},
    {PR_ROWID, "PR_ROWID"},
    {PR_RECIPIENT_TYPE, "PR_RECIPIENT_TYPE"},
    {PR_EMAIL_ADDRESS_A, "PR_EMAIL_ADDRESS_A"},
    {PR_ADDRTYPE_A, "PR_ADDRTYPE_A"},
    {PR_ATTACH_NUM, "PR_ATTACH_NUM"},
    {PR_ATTACH_METHOD, "PR_ATTACH_METHOD"},
    {PR_ATTACH_FILENAME_A, "PR_ATTACH_FILENAME_A"},
    {PR_ATTACH_LONG_FILENAME_A, "PR_ATTACH_LONG_FILENAME_A"},
    {PR_ATTACH_DATA_BIN, "PR_ATTACH_DATA_BIN"},
    {PR_ATTACH_SIZE, "PR_ATTACH_SIZE"},
};

const char* const kKinds[] = {"PersonalFolders", "ExchangePublic", "Excluded", "SharedFolders", "Other",
                              "ExchangeMailbox"};

std::string HexTag(ULONG tag) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", tag);
    return buf;
}

std::string TagText(ULONG tag) {
    for (const TagName& t : kTagNames)
        if (t.tag == tag) return t.name;
    return HexTag(tag);
}

// ---- Writing ---------------------------------------------------------------------------------

std::string QuoteBytes(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void PutUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string QuoteWide(const std::wstring& w) {
    std::string out = "\"";
    for (size_t k = 0; k < w.size(); ++k) {
        unsigned c = static_cast<unsigned short>(w[k]);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c >= 0xD800 && c < 0xDC00 && k + 1 < w.size() && static_cast<unsigned short>(w[k + 1]) >= 0xDC00 &&
                   static_cast<unsigned short>(w[k + 1]) < 0xE000) {
            unsigned low = static_cast<unsigned short>(w[++k]);
            PutUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c < 0xE000)) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", c);
            out += buf;
        } else {
            PutUtf8(out, c);
        }
    }
    return out + "\"";
}

std::string HexOrDash(const Bytes& b) { return b.empty() ? std::string("-") : standin::Hex(b); }

std::string TimeText(LONGLONG i) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<ULONGLONG>(i) & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<ULONGLONG>(i) >> 32);
    SYSTEMTIME st;
    char buf[64];
    if (i < 0 || !FileTimeToSystemTime(&ft, &st)) {
        std::snprintf(buf, sizeof buf, "0x%016llX", static_cast<unsigned long long>(i));
    } else {
        std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u.%07lluZ", st.wYear, st.wMonth, st.wDay, st.wHour,
                      st.wMinute, st.wSecond, static_cast<unsigned long long>(i) % 10000000ULL);
    }
    return buf;
}

std::string DoubleText(double d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

std::string GuidText(const GUID& g) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

std::string ValueText(const Value& v) {
    switch (v.type) {
        case PT_NULL:
            return std::string();
        case PT_I2:
        case PT_LONG:
        case PT_I8:
        case PT_CURRENCY:
            return std::to_string(v.i);
        case PT_BOOLEAN:
            return v.i ? "true" : "false";
        case PT_ERROR:
            return HexTag(static_cast<ULONG>(v.i));
        case PT_SYSTIME:
            return TimeText(v.i);
        case PT_FLOAT:
        case PT_DOUBLE:
        case PT_APPTIME:
            return DoubleText(v.d);
        case PT_STRING8:
            return QuoteBytes(v.s);
        case PT_UNICODE:
            return QuoteWide(v.w);
        case PT_BINARY:
        case PT_CLSID:
            return HexOrDash(v.s);
        default:
            break;
    }
    std::string out = "[";
    for (const Value& e : v.mv) out += " " + ValueText(e);
    return out + " ]";
}

void WriteProps(std::ostream& out, const Bag& bag, const char* indent) {
    for (const auto& [id, v] : bag) {
        std::string text = ValueText(v);
        out << indent << "prop " << TagText(PROP_TAG(v.type, id)) << (text.empty() ? "" : " ") << text << "\n";
    }
}

const char* Bool(bool b) { return b ? "true" : "false"; }

void WriteItem(std::ostream& out, const ItemRec& i) {
    out << "item\n";
    out << "  id " << standin::Hex(i.id) << "\n";
    out << "  short-id " << standin::Hex(i.shortId) << "\n";
    out << "  folder " << standin::Hex(i.folder) << "\n";
    if (i.noLongTermColumn) out << "  no-longterm-column true\n";
    if (i.hidden) out << "  hidden true\n";
    WriteProps(out, i.props, "  ");
    for (const Bag& r : i.recipients) {
        out << "  recipient\n";
        WriteProps(out, r, "    ");
        out << "  end\n";
    }
    for (const Bag& a : i.attachments) {
        out << "  attachment\n";
        WriteProps(out, a, "    ");
        out << "  end\n";
    }
    out << "end\n";
}

void WriteFolder(std::ostream& out, World& w, const FolderRec& f) {
    out << "\nfolder\n";
    out << "  id " << standin::Hex(f.id) << "\n";
    out << "  short-id " << standin::Hex(f.shortId) << "\n";
    out << "  store " << standin::Hex(f.store) << "\n";
    out << "  parent " << standin::Hex(f.parent) << "\n";
    out << "  can-write " << Bool(f.canWrite) << "\n";
    out << "  can-delete " << Bool(f.canDelete) << "\n";
    out << "  refuses-create " << Bool(f.refusesCreate) << "\n";
    out << "  hierarchy " << Bool(f.hierarchy) << "\n";
    WriteProps(out, f.props, "  ");
    out << "end\n";
    for (const Bytes& id : f.items) {
        ItemRec* i = w.Item(id);
        if (!i) continue;
        out << "\n";
        WriteItem(out, *i);
    }
    for (const Bytes& c : f.children) {
        FolderRec* child = w.Folder(c);
        if (child && child != &f) WriteFolder(out, w, *child);
    }
}

// ---- Reading ---------------------------------------------------------------------------------

struct Token {
    bool quoted = false;
    std::string text; // a word, or the raw inside of a quoted string (escapes not yet decoded)
};

bool Tokenize(const std::string& line, std::vector<Token>* out, std::string* error) {
    size_t k = 0;
    while (k < line.size()) {
        char c = line[k];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++k;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token t;
            t.quoted = true;
            ++k;
            bool closed = false;
            while (k < line.size()) {
                if (line[k] == '\\' && k + 1 < line.size()) {
                    t.text += line[k];
                    t.text += line[k + 1];
                    k += 2;
                } else if (line[k] == '"') {
                    closed = true;
                    ++k;
                    break;
                } else {
                    t.text += line[k++];
                }
            }
            if (!closed) {
                *error = "unterminated string";
                return false;
            }
            out->push_back(t);
        } else {
            Token t;
            while (k < line.size() && line[k] != ' ' && line[k] != '\t' && line[k] != '\r' && line[k] != '"')
                t.text += line[k++];
            out->push_back(t);
        }
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHex(const std::string& s, Bytes* out) {
    out->clear();
    if (s == "-") return true;
    if (s.empty() || s.size() % 2) return false;
    for (size_t k = 0; k < s.size(); k += 2) {
        int hi = HexDigit(s[k]), lo = HexDigit(s[k + 1]);
        if (hi < 0 || lo < 0) return false;
        out->push_back(static_cast<char>(hi * 16 + lo));
    }
    return true;
}

// Decodes a simple escape at raw[k] (after the backslash); false when it is not one.
bool SimpleEscape(char c, char* out) {
    switch (c) {
        case '\\':
            *out = '\\';
            return true;
        case '"':
            *out = '"';
            return true;
        case 'n':
            *out = '\n';
            return true;
        case 'r':
            *out = '\r';
            return true;
        case 't':
            *out = '\t';
            return true;
        case '0':
            *out = '\0';
            return true;
        default:
            return false;
    }
}

bool DecodeBytes(const std::string& raw, std::string* out, std::string* error) {
    out->clear();
    for (size_t k = 0; k < raw.size(); ++k) {
        if (raw[k] != '\\') {
            out->push_back(raw[k]);
            continue;
        }
        if (++k >= raw.size()) break;
        char c;
        if (SimpleEscape(raw[k], &c)) {
            out->push_back(c);
        } else if (raw[k] == 'x' && k + 2 < raw.size() && HexDigit(raw[k + 1]) >= 0 && HexDigit(raw[k + 2]) >= 0) {
            out->push_back(static_cast<char>(HexDigit(raw[k + 1]) * 16 + HexDigit(raw[k + 2])));
            k += 2;
        } else {
            *error = std::string("bad escape \\") + raw[k];
            return false;
        }
    }
    return true;
}

bool DecodeWide(const std::string& raw, std::wstring* out, std::string* error) {
    out->clear();
    for (size_t k = 0; k < raw.size();) {
        unsigned char c = static_cast<unsigned char>(raw[k]);
        if (c == '\\') {
            if (k + 1 >= raw.size()) break;
            char e;
            if (SimpleEscape(raw[k + 1], &e)) {
                out->push_back(static_cast<wchar_t>(static_cast<unsigned char>(e)));
                k += 2;
                continue;
            }
            if (raw[k + 1] == 'u' && k + 6 <= raw.size()) {
                unsigned v = 0;
                bool ok = true;
                for (size_t d = 0; ok && d < 4; ++d) {
                    int h = HexDigit(raw[k + 2 + d]);
                    if (h < 0) ok = false;
                    v = v * 16 + static_cast<unsigned>(h < 0 ? 0 : h);
                }
                if (ok) {
                    out->push_back(static_cast<wchar_t>(v));
                    k += 6;
                    continue;
                }
            }
            *error = std::string("bad escape \\") + raw[k + 1];
            return false;
        }
        unsigned long cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            *error = "invalid UTF-8 in a Unicode string";
            return false;
        }
        if (k + static_cast<size_t>(extra) >= raw.size()) {
            *error = "invalid UTF-8 in a Unicode string";
            return false;
        }
        for (int e = 1; e <= extra; ++e) {
            unsigned char cc = static_cast<unsigned char>(raw[k + static_cast<size_t>(e)]);
            if ((cc & 0xC0) != 0x80) {
                *error = "invalid UTF-8 in a Unicode string";
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        k += static_cast<size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out->push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out->push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out->push_back(static_cast<wchar_t>(cp));
        }
    }
    return true;
}

bool ParseInt(const std::string& s, LONGLONG* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
                      ? static_cast<long long>(std::strtoull(s.c_str() + 2, &end, 16))
                      : std::strtoll(s.c_str(), &end, 10);
    if (errno || !end || *end) return false;
    *out = v;
    return true;
}

bool ParseTime(const std::string& s, LONGLONG* out) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return ParseInt(s, out);
    unsigned y, mo, d, h, mi, se;
    unsigned long long frac = 0;
    char tail = 0;
    int fracStart = 0, fracEnd = 0;
    if (std::sscanf(s.c_str(), "%4u-%2u-%2uT%2u:%2u:%2u.%n%7llu%n%c", &y, &mo, &d, &h, &mi, &se, &fracStart, &frac,
                    &fracEnd, &tail) != 8 ||
        tail != 'Z' || fracEnd - fracStart != 7 || static_cast<size_t>(fracEnd) + 1 != s.size())
        return false;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(se);
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return false;
    *out = static_cast<LONGLONG>(((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) + frac);
    return true;
}

bool ParseGuid(const std::string& s, GUID* g) {
    unsigned long d1;
    unsigned d2, d3, b[8];
    int n = 0;
    if (std::sscanf(s.c_str(), "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}%n", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3],
                    &b[4], &b[5], &b[6], &b[7], &n) != 11 ||
        static_cast<size_t>(n) != s.size())
        return false;
    g->Data1 = d1;
    g->Data2 = static_cast<unsigned short>(d2);
    g->Data3 = static_cast<unsigned short>(d3);
    for (int k = 0; k < 8; ++k) g->Data4[k] = static_cast<unsigned char>(b[k]);
    return true;
}

bool ParseTag(const std::string& s, ULONG* tag) {
    for (const TagName& t : kTagNames) {
        if (s == t.name) {
            *tag = t.tag;
            return true;
        }
    }
    LONGLONG v;
    if (s.size() < 3 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X') || !ParseInt(s, &v) || v < 0 || v > 0xFFFFFFFFLL)
        return false;
    *tag = static_cast<ULONG>(v);
    return true;
}

bool ParseSingle(ULONG type, const Token& t, Value* v, std::string* error) {
    v->type = type;
    auto bad = [&](const char* what) {
        *error = std::string("bad ") + what + " value '" + t.text + "'";
        return false;
    };
    if ((type == PT_STRING8 || type == PT_UNICODE) != t.quoted) return bad(t.quoted ? "non-string" : "string");
    switch (type) {
        case PT_I2:
        case PT_LONG:
        case PT_I8:
        case PT_CURRENCY:
        case PT_ERROR:
            if (!ParseInt(t.text, &v->i)) return bad("integer");
            if (type == PT_I2) v->i = static_cast<short>(v->i);
            if (type == PT_LONG || type == PT_ERROR) v->i = static_cast<LONG>(v->i);
            return true;
        case PT_BOOLEAN:
            if (t.text != "true" && t.text != "false") return bad("boolean");
            v->i = t.text == "true";
            return true;
        case PT_SYSTIME:
            if (!ParseTime(t.text, &v->i)) return bad("time");
            return true;
        case PT_FLOAT:
        case PT_DOUBLE:
        case PT_APPTIME: {
            char* end = nullptr;
            v->d = std::strtod(t.text.c_str(), &end);
            if (t.text.empty() || *end) return bad("number");
            return true;
        }
        case PT_STRING8:
            return DecodeBytes(t.text, &v->s, error);
        case PT_UNICODE:
            return DecodeWide(t.text, &v->w, error);
        case PT_BINARY:
            if (!ParseHex(t.text, &v->s)) return bad("binary");
            return true;
        case PT_CLSID:
            if (!ParseHex(t.text, &v->s) || v->s.size() != 16) return bad("GUID");
            return true;
        default:
            *error = "unsupported property type " + HexTag(type);
            return false;
    }
}

bool ParseValue(ULONG type, const std::vector<Token>& toks, size_t first, Value* v, std::string* error) {
    if (type == PT_NULL) {
        v->type = PT_NULL;
        if (toks.size() != first) return *error = "a PT_NULL property takes no value", false;
        return true;
    }
    if (!(type & MV_FLAG)) {
        if (toks.size() != first + 1) return *error = "expected one value", false;
        return ParseSingle(type, toks[first], v, error);
    }
    if (toks.size() < first + 2 || toks[first].quoted || toks[first].text != "[" || toks.back().quoted ||
        toks.back().text != "]")
        return *error = "a multi-valued property needs [ values ]", false;
    v->type = type;
    for (size_t k = first + 1; k + 1 < toks.size(); ++k) {
        Value e;
        if (!ParseSingle(type & ~MV_FLAG, toks[k], &e, error)) return false;
        v->mv.push_back(e);
    }
    return true;
}

class Reader {
public:
    explicit Reader(World* w) : w_(*w) {}

    // One committed journal entry over the loaded world: an item block replaces the item of the same
    // id (or adds it), "remove-item <id>" removes one; clock and next-object as in a profile.
    bool Replay(const std::string& text, std::string* error) {
        replay_ = true;
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            ++line_;
            std::vector<Token> toks;
            std::string msg;
            if (!Tokenize(line, &toks, &msg)) return Fail(error, msg);
            if (toks.empty()) continue;
            if (state_ == State::Top && Word(toks, 0) && toks[0].text == "remove-item") {
                Bytes id;
                if (!HexField(toks, &id, &msg)) return Fail(error, msg);
                if (ItemRec* i = w_.Item(id)) w_.RemoveItem(i->id);
                continue;
            }
            if (!Line(toks, &msg)) return Fail(error, msg);
        }
        if (state_ != State::Top) return Fail(error, "missing 'end' in a journal entry");
        return Finish(error);
    }

    bool Run(const std::string& text, std::string* error) {
        std::istringstream in(text);
        std::string line;
        bool headerSeen = false;
        while (std::getline(in, line)) {
            ++line_;
            std::vector<Token> toks;
            std::string msg;
            if (!Tokenize(line, &toks, &msg)) return Fail(error, msg);
            if (toks.empty()) continue;
            if (!headerSeen) {
                if (toks.size() != 2 || toks[0].quoted || toks[0].text != "standin-profile" || toks[1].text != "1")
                    return Fail(error, "expected 'standin-profile 1'");
                headerSeen = true;
                continue;
            }
            if (!Line(toks, &msg)) return Fail(error, msg);
        }
        if (!headerSeen) {
            line_ = 1;
            return Fail(error, "empty profile: expected 'standin-profile 1'");
        }
        ++line_; // faults found at the end of the input are reported after its last line
        if (state_ != State::Top) return Fail(error, "missing 'end' at the end of the input");
        return Finish(error);
    }

private:
    enum class State { Top, Store, Folder, Item, Recipient, Attachment };

    bool Fail(std::string* error, const std::string& msg) {
        if (error) *error = "line " + std::to_string(line_) + ": " + msg;
        return false;
    }

    static bool Word(const std::vector<Token>& t, size_t k) { return k < t.size() && !t[k].quoted; }

    bool OneWord(const std::vector<Token>& t, std::string* msg) {
        if (t.size() != 2 || t[1].quoted) return *msg = "'" + t[0].text + "' takes one value", false;
        return true;
    }

    bool HexField(const std::vector<Token>& t, Bytes* out, std::string* msg) {
        if (!OneWord(t, msg)) return false;
        if (!ParseHex(t[1].text, out)) return *msg = "bad hex bytes '" + t[1].text + "'", false;
        return true;
    }

    bool BoolField(const std::vector<Token>& t, bool* out, std::string* msg) {
        if (!OneWord(t, msg)) return false;
        if (t[1].text != "true" && t[1].text != "false") return *msg = "expected true or false", false;
        *out = t[1].text == "true";
        return true;
    }

    bool Prop(const std::vector<Token>& t, Bag* bag, std::string* msg) {
        ULONG tag;
        if (!Word(t, 1) || !ParseTag(t[1].text, &tag)) return *msg = "bad property tag", false;
        Value v;
        if (!ParseValue(PROP_TYPE(tag), t, 2, &v, msg)) return false;
        if (v.type == PT_NULL) {
            *msg = "PT_NULL properties are not kept";
            return false;
        }
        (*bag)[PROP_ID(tag)] = v;
        return true;
    }

    bool Line(const std::vector<Token>& t, std::string* msg) {
        if (!Word(t, 0)) return *msg = "expected a keyword", false;
        const std::string& k = t[0].text;
        switch (state_) {
            case State::Top:
                return TopLine(t, msg);
            case State::Store:
                if (k == "end") return EndStore(msg);
                if (k == "id") return HexField(t, &store_.id, msg);
                if (k == "table-id") return HexField(t, &store_.tableId, msg);
                if (k == "uid") return HexField(t, &store_.uid, msg);
                if (k == "root") return HexField(t, &store_.root, msg);
                if (k == "inbox") return HexField(t, &store_.inbox, msg);
                if (k == "unopenable") return BoolField(t, &store_.unopenable, msg);
                if (k == "omit-display-name") return BoolField(t, &store_.omitDisplayName, msg);
                if (k == "prop") return Prop(t, &store_.props, msg);
                if (k == "saved-props-on-reopen") return BoolField(t, &store_.savedPropsOnReopen, msg);
                if (k == "named") {
                    storeNamed_ = true;
                    return Named(t, &store_.named, msg);
                }
                if (k == "kind") {
                    if (!OneWord(t, msg)) return false;
                    for (int n = 0; n < static_cast<int>(std::size(kKinds)); ++n) {
                        if (t[1].text == kKinds[n]) {
                            store_.kind = static_cast<ProviderKind>(n);
                            return true;
                        }
                    }
                    return *msg = "unknown store kind '" + t[1].text + "'", false;
                }
                if (k == "omit") {
                    ULONG tag;
                    if (t.size() != 2 || !ParseTag(t[1].text, &tag)) return *msg = "bad property tag", false;
                    store_.omit.push_back(tag);
                    return true;
                }
                break;
            case State::Folder:
                if (k == "end") return EndFolder(msg);
                if (k == "id") return HexField(t, &folder_.id, msg);
                if (k == "short-id") return HexField(t, &folder_.shortId, msg);
                if (k == "store") return HexField(t, &folder_.store, msg);
                if (k == "parent") return HexField(t, &folder_.parent, msg);
                if (k == "can-write") return BoolField(t, &folder_.canWrite, msg);
                if (k == "can-delete") return BoolField(t, &folder_.canDelete, msg);
                if (k == "refuses-create") return BoolField(t, &folder_.refusesCreate, msg);
                if (k == "hierarchy") return BoolField(t, &folder_.hierarchy, msg);
                if (k == "prop") return Prop(t, &folder_.props, msg);
                break;
            case State::Item:
                if (k == "end") return EndItem(msg);
                if (k == "id") return HexField(t, &item_.id, msg);
                if (k == "short-id") return HexField(t, &item_.shortId, msg);
                if (k == "folder") return HexField(t, &item_.folder, msg);
                if (k == "no-longterm-column") return BoolField(t, &item_.noLongTermColumn, msg);
                if (k == "hidden") return BoolField(t, &item_.hidden, msg);
                if (k == "prop") return Prop(t, &item_.props.Edit(), msg);
                if (k == "recipient" || k == "attachment") {
                    if (t.size() != 1) return *msg = "'" + k + "' takes no value", false;
                    sub_.clear();
                    state_ = k == "recipient" ? State::Recipient : State::Attachment;
                    return true;
                }
                break;
            case State::Recipient:
            case State::Attachment:
                if (k == "prop") return Prop(t, &sub_, msg);
                if (k == "end") {
                    (state_ == State::Recipient ? item_.recipients : item_.attachments).push_back(sub_);
                    state_ = State::Item;
                    return true;
                }
                break;
        }
        *msg = "unexpected '" + k + "'";
        return false;
    }

    bool TopLine(const std::vector<Token>& t, std::string* msg) {
        const std::string& k = t[0].text;
        if (k == "profile-name") {
            if (t.size() != 2 || !t[1].quoted) return *msg = "profile-name takes a quoted string", false;
            return DecodeBytes(t[1].text, &w_.profileName, msg);
        }
        if (k == "profile-name-available") return BoolField(t, &w_.profileNameAvailable, msg);
        if (k == "clock") {
            LONGLONG v;
            if (!OneWord(t, msg)) return false;
            if (!ParseTime(t[1].text, &v)) return *msg = "bad time '" + t[1].text + "'", false;
            w_.now = static_cast<ULONGLONG>(v);
            return true;
        }
        if (k == "next-object" || k == "next-store") {
            LONGLONG v;
            if (!OneWord(t, msg)) return false;
            if (!ParseInt(t[1].text, &v) || v < 1) return *msg = "bad number '" + t[1].text + "'", false;
            if (k == "next-object")
                w_.nextObject = static_cast<ULONGLONG>(v);
            else
                w_.nextStore = static_cast<ULONG>(v);
            return true;
        }
        if (k == "named") return Named(t, &w_.named, msg);
        if (k == "store-named") {
            // store-named <store id> <id> <guid> ...: a name a store's mapping gained, as its journal records it.
            Bytes id;
            if (t.size() < 2 || !ParseHex(t[1].text, &id)) return *msg = "expected: store-named <store id> ...", false;
            StoreRec* store = w_.StoreByOpenId(id);
            if (!store) return *msg = "store-named of an unknown store", false;
            return Named(std::vector<Token>(t.begin() + 1, t.end()), &store->named, msg);
        }
        if (k == "store" || k == "folder" || k == "item") {
            if (t.size() != 1) return *msg = "'" + k + "' takes no value", false;
            if (k == "store") {
                store_ = StoreRec();
                storeNamed_ = false;
                state_ = State::Store;
            } else if (k == "folder") {
                folder_ = FolderRec();
                state_ = State::Folder;
            } else {
                item_ = ItemRec();
                state_ = State::Item;
            }
            return true;
        }
        *msg = "unexpected '" + k + "'";
        return false;
    }

    // named <id> <guid> id <number> | named <id> <guid> name "<text>": the next id of a mapping.
    bool Named(const std::vector<Token>& t, NamedMap* map, std::string* msg) const {
        LONGLONG id;
        NamedProp n;
        if (t.size() != 5 || !ParseInt(t[1].text, &id) || !ParseGuid(t[2].text, &n.guid))
            return *msg = "expected: named <id> <guid> id <number> | name \"<text>\"", false;
        // A journal names what the profile may hold already (replaying twice changes nothing).
        if (replay_ && id >= static_cast<LONGLONG>(kFirstNamedId) &&
            id < static_cast<LONGLONG>(kFirstNamedId + map->size()))
            return true;
        if (id != static_cast<LONGLONG>(kFirstNamedId + map->size()))
            return *msg = "named ids must run from 0x8000 up without gaps", false;
        if (t[3].text == "id" && !t[4].quoted) {
            LONGLONG lid;
            if (!ParseInt(t[4].text, &lid)) return *msg = "bad named id", false;
            n.kind = MNID_ID;
            n.lid = static_cast<LONG>(lid);
        } else if (t[3].text == "name" && t[4].quoted) {
            n.kind = MNID_STRING;
            if (!DecodeWide(t[4].text, &n.name, msg)) return false;
        } else {
            return *msg = "expected 'id <number>' or 'name \"<text>\"'", false;
        }
        map->push_back(n);
        return true;
    }

    bool EndStore(std::string* msg) {
        if (store_.id.empty()) return *msg = "store without id", false;
        if (store_.tableId.empty()) store_.tableId = store_.id;
        if (store_.uid.size() != 16) return *msg = "store uid must have 16 bytes", false;
        if (w_.StoreByAnyId(store_.id) || w_.StoreByAnyId(store_.tableId)) return *msg = "duplicate store id", false;
        // A store without a mapping of its own starts from the profile's (files written before stores
        // kept their own).
        if (!storeNamed_) store_.named = w_.named;
        w_.stores.push_back(store_);
        state_ = State::Top;
        return true;
    }

    bool EndFolder(std::string* msg) {
        if (folder_.id.empty() || folder_.shortId.empty()) return *msg = "folder needs id and short-id", false;
        if (w_.Folder(folder_.id) || w_.Folder(folder_.shortId) || w_.Item(folder_.id) || w_.Item(folder_.shortId))
            return *msg = "duplicate folder id", false;
        if (!w_.StoreByOpenId(folder_.store)) return *msg = "folder of an unknown store", false;
        if (folder_.parent.empty()) folder_.parent = folder_.id;
        if (folder_.parent != folder_.id) {
            FolderRec* p = w_.Folder(folder_.parent);
            if (!p) return *msg = "folder whose parent is not listed before it", false;
            p->children.push_back(folder_.id);
        }
        w_.shortToLong[folder_.shortId] = folder_.id;
        w_.folders[folder_.id] = folder_;
        state_ = State::Top;
        return true;
    }

    bool EndItem(std::string* msg) {
        if (item_.id.empty() || item_.shortId.empty()) return *msg = "item needs id and short-id", false;
        if (replay_) {
            if (ItemRec* old = w_.Item(item_.id)) {
                // Replaced in place when it stays in its folder, so that contents tables keep their order.
                FolderRec* f = w_.Folder(item_.folder);
                if (!f) return *msg = "item of an unknown folder", false;
                if (old->folder == f->id) {
                    item_.folder = f->id;
                    *old = item_;
                    state_ = State::Top;
                    return true;
                }
                w_.RemoveItem(old->id);
            }
        }
        if (w_.Folder(item_.id) || w_.Folder(item_.shortId) || w_.Item(item_.id) || w_.Item(item_.shortId))
            return *msg = "duplicate item id", false;
        FolderRec* f = w_.Folder(item_.folder);
        if (!f) return *msg = "item of a folder not listed before it", false;
        item_.folder = f->id;
        f->items.push_back(item_.id);
        w_.shortToLong[item_.shortId] = item_.id;
        w_.items[item_.id] = item_;
        state_ = State::Top;
        return true;
    }

    static ULONGLONG NumberOf(const Bytes& id) {
        if (id.size() != 30) return 0;
        ULONGLONG n = 0;
        for (int k = 7; k >= 0; --k) n = (n << 8) | static_cast<unsigned char>(id[22 + static_cast<size_t>(k)]);
        return n;
    }

    bool Finish(std::string* error) {
        for (const StoreRec& s : w_.stores) {
            FolderRec* root = w_.Folder(s.root);
            if (!root || root->store != s.id) return Fail(error, "a store's root folder is missing");
            if (!s.inbox.empty() && !w_.Folder(s.inbox)) return Fail(error, "a store's inbox folder is missing");
            if (s.uid.compare(0, 4, "ZSTN") == 0) {
                ULONG n = 0;
                for (int k = 3; k >= 0; --k)
                    n = (n << 8) | static_cast<unsigned char>(s.uid[4 + static_cast<size_t>(k)]);
                if (n + 1 > w_.nextStore) w_.nextStore = n + 1;
            }
        }
        // New objects must never take the number of a loaded one.
        for (const auto& [id, f] : w_.folders)
            if (NumberOf(id) + 1 > w_.nextObject) w_.nextObject = NumberOf(id) + 1;
        for (const auto& [id, i] : w_.items)
            if (NumberOf(id) + 1 > w_.nextObject) w_.nextObject = NumberOf(id) + 1;
        return true;
    }

    World& w_;
    bool replay_ = false;
    int line_ = 0;
    State state_ = State::Top;
    StoreRec store_;
    bool storeNamed_ = false; // the store block lists its own named properties
    FolderRec folder_;
    ItemRec item_;
    Bag sub_;
};

} // namespace
} // namespace standin::detail

using namespace standin::detail;

namespace standin {

void WriteNamed(std::ostream& out, const NamedMap& map, const char* indent) {
    for (size_t k = 0; k < map.size(); ++k) {
        const NamedProp& n = map[k];
        out << indent << "named " << HexTag(static_cast<ULONG>(kFirstNamedId + k)) << " " << GuidText(n.guid) << " ";
        if (n.kind == MNID_ID) {
            out << "id " << n.lid << "\n";
        } else {
            out << "name " << QuoteWide(n.name) << "\n";
        }
    }
}

std::string SaveProfileText() {
    Lock lock(Mutex());
    World& w = W();
    std::ostringstream out;
    out << "standin-profile 1\n";
    out << "profile-name " << QuoteBytes(w.profileName) << "\n";
    out << "profile-name-available " << Bool(w.profileNameAvailable) << "\n";
    out << "clock " << TimeText(static_cast<LONGLONG>(w.now)) << "\n";
    out << "next-object " << w.nextObject << "\n";
    out << "next-store " << w.nextStore << "\n";
    WriteNamed(out, w.named, "");
    for (const StoreRec& s : w.stores) {
        out << "\nstore\n";
        out << "  id " << Hex(s.id) << "\n";
        out << "  table-id " << Hex(s.tableId) << "\n";
        out << "  uid " << Hex(s.uid) << "\n";
        out << "  kind " << kKinds[static_cast<int>(s.kind)] << "\n";
        out << "  root " << Hex(s.root) << "\n";
        if (!s.inbox.empty()) out << "  inbox " << Hex(s.inbox) << "\n";
        out << "  unopenable " << Bool(s.unopenable) << "\n";
        out << "  omit-display-name " << Bool(s.omitDisplayName) << "\n";
        for (ULONG tag : s.omit) out << "  omit " << TagText(tag) << "\n";
        if (s.savedPropsOnReopen) out << "  saved-props-on-reopen true\n";
        WriteNamed(out, s.named, "  ");
        WriteProps(out, s.props, "  ");
        out << "end\n";
    }
    for (const StoreRec& s : w.stores)
        if (FolderRec* root = w.Folder(s.root)) WriteFolder(out, w, *root);
    return out.str();
}

bool LoadProfileText(const std::string& text, std::string* error) {
    World fresh;
    fresh.now = StartTime();
    fresh.profileName.clear();
    Reader reader(&fresh);
    if (!reader.Run(text, error)) return false;
    Lock lock(Mutex());
    W() = std::move(fresh);
    return true;
}

bool SaveProfile(const std::string& path, std::string* error) {
    std::string text = SaveProfileText();
    // Written beside and moved over the old file: a kill never leaves half a profile.
    const std::string temporary = path + ".tmp";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    out << text;
    out.close();
    if (!out || !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        if (error) *error = "cannot write " + path;
        return false;
    }
    return true;
}

namespace {

// The open journal (append only) and its path; one process-wide journal at most.
struct JournalFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string path;
};
JournalFile& Journal() {
    static JournalFile journal;
    return journal;
}

// One entry, written with one call and closed by its "commit" line: an entry cut short by a kill is
// no entry.
void AppendEntry(std::string entry) {
    JournalFile& j = Journal();
    if (j.handle == INVALID_HANDLE_VALUE) return;
    World& w = W();
    entry += "clock " + TimeText(static_cast<LONGLONG>(w.now)) + "\n";
    entry += "next-object " + std::to_string(w.nextObject) + "\n";
    entry += "commit\n";
    DWORD written = 0;
    WriteFile(j.handle, entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr);
}

} // namespace

namespace detail {

void JournalItem(const ItemRec& item) {
    if (Journal().handle == INVALID_HANDLE_VALUE) return;
    std::ostringstream out;
    WriteItem(out, item);
    AppendEntry(out.str());
}

void JournalNamed(const NamedMap& map, size_t index) {
    if (Journal().handle == INVALID_HANDLE_VALUE || index >= map.size()) return;
    std::string entry = "named ";
    for (const StoreRec& s : W().stores)
        if (&s.named == &map) entry = "store-named " + Hex(s.id) + " ";
    const NamedProp& n = map[index];
    entry += HexTag(static_cast<ULONG>(kFirstNamedId + index)) + " " + GuidText(n.guid) + " ";
    entry += n.kind == MNID_ID ? "id " + std::to_string(n.lid) : "name " + QuoteWide(n.name);
    AppendEntry(entry + "\n");
}

void JournalRemoval(const Bytes& id) {
    if (Journal().handle == INVALID_HANDLE_VALUE) return;
    AppendEntry("remove-item " + Hex(id) + "\n");
}

} // namespace detail

bool SetJournal(const std::string& path, std::string* error) {
    Lock lock(Mutex());
    JournalFile& j = Journal();
    if (j.handle != INVALID_HANDLE_VALUE) CloseHandle(j.handle);
    j.handle = INVALID_HANDLE_VALUE;
    j.path = path;
    if (path.empty()) return true;
    j.handle = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (j.handle != INVALID_HANDLE_VALUE) return true;
    if (error) *error = "cannot open journal " + path;
    return false;
}

bool ReplayJournal(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return true; // no journal: nothing was saved since the profile was written
    std::ostringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    Lock lock(Mutex());
    World copy = W();
    std::istringstream lines(text);
    std::string line;
    std::string entry;
    while (std::getline(lines, line)) {
        if (line != "commit") {
            entry += line + "\n";
            continue;
        }
        Reader reader(&copy);
        if (!reader.Replay(entry, error)) return false;
        entry.clear();
    }
    // What remains has no commit line: an entry cut short by a kill, never acknowledged as saved.
    W() = std::move(copy);
    return true;
}

bool LoadProfile(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return LoadProfileText(text.str(), error);
}

} // namespace standin
