// Property value owners: conversions of one value, row-set release, named tags and column lists.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "FakeNamedProp.h"
#include "support/MapiWorld.h"
#include "mapi/PropValues.h"

namespace {

// A value laid out as HrGetOneProp hands it out: one MAPI root block with its data chained on.
SPropValue* NewValue(ULONG tag) {
    SPropValue* p = nullptr;
    EXPECT_EQ(MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void**>(&p)), S_OK);
    std::memset(p, 0, sizeof *p);
    p->ulPropTag = tag;
    return p;
}

void Hold(ZxSPropValue& holder, SPropValue* p) { *holder.Address() = p; }

SPropValue* NewString8(const std::string& s) {
    SPropValue* p = NewValue(PR_SUBJECT_A);
    MAPIAllocateMore(static_cast<ULONG>(s.size() + 1), p, reinterpret_cast<void**>(&p->Value.lpszA));
    std::memcpy(p->Value.lpszA, s.c_str(), s.size() + 1);
    return p;
}

SPropValue* NewUnicode(const std::wstring& s) {
    SPropValue* p = NewValue(PR_SUBJECT_W);
    MAPIAllocateMore(static_cast<ULONG>((s.size() + 1) * sizeof(wchar_t)), p,
                     reinterpret_cast<void**>(&p->Value.lpszW));
    std::memcpy(p->Value.lpszW, s.c_str(), (s.size() + 1) * sizeof(wchar_t));
    return p;
}

SPropValue* NewBinary(const std::string& bytes) {
    SPropValue* p = NewValue(PR_ENTRYID);
    p->Value.bin.cb = static_cast<ULONG>(bytes.size());
    MAPIAllocateMore(p->Value.bin.cb, p, reinterpret_cast<void**>(&p->Value.bin.lpb));
    std::memcpy(p->Value.bin.lpb, bytes.data(), bytes.size());
    return p;
}

SPropValue* NewTime(ULONGLONG t) {
    SPropValue* p = NewValue(PR_LAST_MODIFICATION_TIME);
    p->Value.ft.dwLowDateTime = static_cast<DWORD>(t);
    p->Value.ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return p;
}

SPropValue* NewError(ULONG id, HRESULT hr) {
    SPropValue* p = NewValue(PROP_TAG(PT_ERROR, id));
    p->Value.err = static_cast<SCODE>(hr);
    return p;
}

// Runs `body` with the thread's locale switched, so CP_THREAD_ACP names that locale's code page.
template <class Body>
void WithThreadLocale(LCID lcid, Body body) {
    LCID previous = GetThreadLocale();
    ASSERT_TRUE(SetThreadLocale(lcid));
    body();
    SetThreadLocale(previous);
}

} // namespace

class PropValueTest : public MapiWorldTest {};

TEST_F(PropValueTest, ValidOnlyWithANonErrorValue) {
    ZxSPropValue empty;
    EXPECT_FALSE(empty.IsValid());

    ZxSPropValue error;
    Hold(error, NewError(0x0037, MAPI_E_NOT_FOUND));
    EXPECT_FALSE(error.IsValid());

    ZxSPropValue number;
    SPropValue* p = NewValue(PR_IMPORTANCE);
    p->Value.l = 0;
    Hold(number, p);
    EXPECT_TRUE(number.IsValid());
}

TEST_F(PropValueTest, NoValueOrErrorValueFailsEveryConversionAndLeavesOutputs) {
    ZxSPropValue empty;
    ZxSPropValue error;
    Hold(error, NewError(0x0037, MAPI_E_NOT_FOUND));
    for (ZxSPropValue* v : {std::addressof(empty), std::addressof(error)}) {
        std::string text = "keep";
        ZxSBinary bin(2, reinterpret_cast<const BYTE*>("\x01\x02"));
        ULONGLONG time = 7;
        FILETIME ft{1, 2};
        EXPECT_EQ(v->GetString(text), E_FAIL);
        EXPECT_EQ(v->GetBinary(bin), E_FAIL);
        EXPECT_EQ(v->GetFileTime(time), E_FAIL);
        EXPECT_EQ(v->GetFileTime(ft), E_FAIL);
        EXPECT_EQ(text, "keep");
        EXPECT_EQ(bin.Size(), 2u);
        EXPECT_EQ(time, 7u);
        EXPECT_EQ(ft.dwLowDateTime, 1u);
    }
}

TEST_F(PropValueTest, String8IsCopiedByteForByte) {
    const std::string bytes = "Caf\xE9 \x80\xFF end";
    ZxSPropValue v;
    Hold(v, NewString8(bytes));
    std::string out;
    ASSERT_EQ(v.GetString(out), S_OK);
    EXPECT_EQ(out, bytes);
}

TEST_F(PropValueTest, UnicodeIsConvertedInTheThreadsAnsiCodePage) {
    struct Case {
        LCID locale;
        std::wstring wide;
        std::string ansi;
    } cases[] = {
        {MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT), L"\u041F\u0440\u0438\u0432\u0435\u0442",
         "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {MAKELCID(MAKELANGID(LANG_GREEK, SUBLANG_DEFAULT), SORT_DEFAULT), L"\u03B1\u03B2 x", "\xE1\xE2 x"},
        {MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT), L"Gr\u00FC\u00DFe",
         "Gr\xFC\xDF"
         "e"},
        {MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT), L"", ""},
    };
    for (const Case& c : cases) {
        WithThreadLocale(c.locale, [&] {
            ZxSPropValue v;
            Hold(v, NewUnicode(c.wide));
            std::string out = "not converted";
            ASSERT_EQ(v.GetString(out), S_OK);
            EXPECT_EQ(out, c.ansi) << "locale " << c.locale;
        });
    }
}

TEST_F(PropValueTest, StringOfANonStringTypeFails) {
    ZxSPropValue v;
    SPropValue* p = NewValue(PR_IMPORTANCE);
    p->Value.l = 2;
    Hold(v, p);
    std::string out = "keep";
    EXPECT_EQ(v.GetString(out), E_FAIL);
    EXPECT_EQ(out, "keep");
}

TEST_F(PropValueTest, BinaryIsCopiedAndOutlivesTheValue) {
    ZxSBinary out;
    {
        ZxSPropValue v;
        Hold(v, NewBinary(std::string("\x00\x01\xFE\xFF", 4)));
        ASSERT_EQ(v.GetBinary(out), S_OK);
    }
    EXPECT_EQ(out.ToHex(), "0001FEFF");
}

TEST_F(PropValueTest, FileTimeGivesAllEightBytes) {
    const ULONGLONG t = 0x01DC7A2B3C4D5E6FULL;
    ZxSPropValue v;
    Hold(v, NewTime(t));
    ULONGLONG out = 0;
    FILETIME ft{};
    ASSERT_EQ(v.GetFileTime(out), S_OK);
    ASSERT_EQ(v.GetFileTime(ft), S_OK);
    EXPECT_EQ(out, t);
    EXPECT_EQ(ft.dwHighDateTime, 0x01DC7A2Bu);
    EXPECT_EQ(ft.dwLowDateTime, 0x3C4D5E6Fu);
}

TEST_F(PropValueTest, ValueIsReleasedWithMAPIFreeBuffer) {
    const long before = standin::LiveBuffers();
    {
        ZxSPropValue v;
        Hold(v, NewString8("held"));
        EXPECT_EQ(standin::LiveBuffers(), before + 1);
    }
    EXPECT_EQ(standin::LiveBuffers(), before);

    ZxSPropValue again;
    Hold(again, NewString8("freed twice"));
    again.Free();
    again.Free();
    EXPECT_EQ(again.Get(), nullptr);
    EXPECT_EQ(standin::LiveBuffers(), before);
}

TEST_F(PropValueTest, ValueReadWithGetOnePropIsReleasedThroughMAPI) {
    standin::Bytes store = standin::AddStore({});
    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened;
    ASSERT_EQ(session.OpenMsgStore(Sb(store), opened, MAPI_BEST_ACCESS), S_OK);

    const long before = standin::LiveBuffers();
    {
        ZxSPropValue v;
        ASSERT_EQ(ZxMAPIModule::Instance().GetOneProp(opened.Get(), PR_DISPLAY_NAME_A, v.Address()), S_OK);
        EXPECT_EQ(standin::LiveBuffers(), before + 1);
        std::string name;
        ASSERT_EQ(v.GetString(name), S_OK);
        EXPECT_EQ(name, "Personal Folders");
    }
    EXPECT_EQ(standin::LiveBuffers(), before);
}

// ---- ZxSRowSet ------------------------------------------------------------------------------

namespace {

// A one-row set laid out as QueryRows gives it: the set and the row's props are separate blocks.
SRowSet* NewRowSet() {
    SRowSet* rows = nullptr;
    EXPECT_EQ(MAPIAllocateBuffer(CbNewSRowSet(1), reinterpret_cast<void**>(&rows)), S_OK);
    rows->cRows = 1;
    rows->aRow[0].ulAdrEntryPad = 0;
    rows->aRow[0].cValues = 1;
    EXPECT_EQ(MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void**>(&rows->aRow[0].lpProps)), S_OK);
    rows->aRow[0].lpProps[0].ulPropTag = PR_IMPORTANCE;
    rows->aRow[0].lpProps[0].Value.l = 1;
    return rows;
}

} // namespace

TEST_F(PropValueTest, RowSetIsFreedBeforeEveryRefillAndAtTheEnd) {
    const long before = standin::LiveBuffers();
    {
        ZxSRowSet rows;
        EXPECT_FALSE(rows.IsValid());
        EXPECT_EQ(rows.RowCount(), 0u);

        *rows.Receive() = NewRowSet();
        EXPECT_TRUE(rows.IsValid());
        EXPECT_EQ(rows.RowCount(), 1u);
        EXPECT_EQ(rows.Row(0).lpProps[0].ulPropTag, static_cast<ULONG>(PR_IMPORTANCE));
        EXPECT_EQ(standin::LiveBuffers(), before + 2);

        SRowSet** slot = rows.Receive();
        EXPECT_EQ(*slot, nullptr);
        EXPECT_EQ(standin::LiveBuffers(), before);
        *slot = NewRowSet();
        EXPECT_EQ(standin::LiveBuffers(), before + 2);
    }
    EXPECT_EQ(standin::LiveBuffers(), before);
}

// ---- CPropTag and CMAPITagsArray ------------------------------------------------------------

namespace {

const GUID kPropSet = {0x00062002, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

} // namespace

TEST_F(PropValueTest, NamedTagCopiesOwnTheirDescriptor) {
    CPropTag* original = new CPropTag(kPropSet, std::wstring(L"Keywords"), PT_MV_STRING8);
    CPropTag copy(*original);
    CPropTag assigned;
    assigned = *original;
    EXPECT_NE(copy.GetNameId(), original->GetNameId());
    delete original; // the copies must not point into it any more

    for (const CPropTag* t : {&copy, &assigned}) {
        ASSERT_TRUE(t->IsNamed());
        const MAPINAMEID* id = t->GetNameId();
        EXPECT_TRUE(IsEqualGUID(*id->lpguid, kPropSet));
        EXPECT_EQ(id->ulKind, static_cast<ULONG>(MNID_STRING));
        EXPECT_EQ(std::wstring(id->Kind.lpwstrName), L"Keywords");
        EXPECT_EQ(t->GetNamedType(), static_cast<ULONG>(PT_MV_STRING8));
    }

    CPropTag plain(PR_SUBJECT_A);
    CPropTag plainCopy(plain);
    EXPECT_FALSE(plainCopy.IsNamed());
    EXPECT_EQ(plainCopy.GetNameId(), nullptr);
    EXPECT_EQ(plainCopy.GetTag(), static_cast<ULONG>(PR_SUBJECT_A));
}

TEST_F(PropValueTest, ResolvingWithoutNamedEntriesAsksNothing) {
    FakeNamedProp fake;
    CMAPITagsArray tags{CPropTag(PR_SUBJECT_A), CPropTag(PR_ENTRYID)};
    EXPECT_EQ(tags.ResolveNamedTags(&fake, true), S_OK);
    EXPECT_EQ(fake.calls, 0);
    EXPECT_EQ(tags[0].GetTag(), static_cast<ULONG>(PR_SUBJECT_A));
    EXPECT_EQ(tags[1].GetTag(), static_cast<ULONG>(PR_ENTRYID));
}

TEST_F(PropValueTest, ResolvingAsksForTheNamedEntriesInOrderAndAddsTheirTypes) {
    for (bool create : {true, false}) {
        FakeNamedProp fake;
        fake.answer = {PROP_TAG(PT_UNSPECIFIED, 0x8001), PROP_TAG(PT_UNSPECIFIED, 0x8002)};
        CMAPITagsArray tags{CPropTag(PR_SUBJECT_A), CPropTag(kPropSet, 0x8205, PT_LONG), CPropTag(PR_ENTRYID),
                            CPropTag(PS_PUBLIC_STRINGS, std::wstring(L"Keywords"), PT_MV_STRING8)};

        EXPECT_EQ(tags.ResolveNamedTags(&fake, create), S_OK);

        EXPECT_EQ(fake.calls, 1);
        EXPECT_EQ(fake.flags, create ? static_cast<ULONG>(MAPI_CREATE) : 0u);
        ASSERT_EQ(fake.seen.size(), 2u);
        EXPECT_TRUE(IsEqualGUID(fake.seen[0].guid, kPropSet));
        EXPECT_EQ(fake.seen[0].kind, static_cast<ULONG>(MNID_ID));
        EXPECT_EQ(fake.seen[0].id, 0x8205);
        EXPECT_TRUE(IsEqualGUID(fake.seen[1].guid, PS_PUBLIC_STRINGS));
        EXPECT_EQ(fake.seen[1].kind, static_cast<ULONG>(MNID_STRING));
        EXPECT_EQ(fake.seen[1].name, L"Keywords");

        EXPECT_EQ(tags[0].GetTag(), static_cast<ULONG>(PR_SUBJECT_A));
        EXPECT_EQ(tags[1].GetTag(), static_cast<ULONG>(PROP_TAG(PT_LONG, 0x8001)));
        EXPECT_EQ(tags[2].GetTag(), static_cast<ULONG>(PR_ENTRYID));
        EXPECT_EQ(tags[3].GetTag(), static_cast<ULONG>(PROP_TAG(PT_MV_STRING8, 0x8002)));
        EXPECT_EQ(fake.refs, 1u);
    }
}

TEST_F(PropValueTest, FailedResolutionIsReturnedAndChangesNoTag) {
    FakeNamedProp fake;
    fake.result = MAPI_E_NO_ACCESS;
    CMAPITagsArray tags{CPropTag(kPropSet, 0x8205, PT_LONG), CPropTag(PR_ENTRYID)};
    const ULONG before = tags[0].GetTag();
    EXPECT_EQ(tags.ResolveNamedTags(&fake, false), MAPI_E_NO_ACCESS);
    EXPECT_EQ(fake.calls, 1);
    EXPECT_EQ(tags[0].GetTag(), before);
    EXPECT_EQ(tags[1].GetTag(), static_cast<ULONG>(PR_ENTRYID));
}

TEST_F(PropValueTest, PartialAnswersUpdateOnlyWhatCameBackAndKeepTheWarning) {
    FakeNamedProp fake;
    fake.result = MAPI_W_ERRORS_RETURNED;
    fake.answer = {PROP_TAG(PT_UNSPECIFIED, 0x8003)}; // one id for two names
    CMAPITagsArray tags{CPropTag(kPropSet, 0x8205, PT_LONG), CPropTag(kPropSet, 0x8206, PT_BOOLEAN)};
    const ULONG secondBefore = tags[1].GetTag();
    EXPECT_EQ(tags.ResolveNamedTags(&fake, false), MAPI_W_ERRORS_RETURNED);
    EXPECT_EQ(tags[0].GetTag(), static_cast<ULONG>(PROP_TAG(PT_LONG, 0x8003)));
    EXPECT_EQ(tags[1].GetTag(), secondBefore);
}

TEST_F(PropValueTest, ResolvesAgainstAStandinMessage) {
    standin::Bytes store = standin::AddStore({});
    standin::Bytes item = standin::AddItem(standin::FolderByPath("Personal Folders\\Inbox"), "named");
    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened;
    ASSERT_EQ(session.OpenMsgStore(Sb(store), opened, MAPI_BEST_ACCESS), S_OK);
    ZxIMAPIFolder inbox;
    ASSERT_EQ(opened.OpenEntry(Sb(standin::FolderByPath("Personal Folders\\Inbox")), inbox, MAPI_BEST_ACCESS), S_OK);
    ZxIMessage message;
    ASSERT_EQ(inbox.OpenEntry(Sb(item), message, MAPI_BEST_ACCESS), S_OK);
    ASSERT_TRUE(message);

    CMAPITagsArray first{CPropTag(kPropSet, 0x8205, PT_LONG), CPropTag(PR_SUBJECT_A)};
    CMAPITagsArray second{CPropTag(PR_ENTRYID), CPropTag(kPropSet, 0x8205, PT_BOOLEAN),
                          CPropTag(kPropSet, std::wstring(L"Other"), PT_STRING8)};
    ASSERT_TRUE(SUCCEEDED(first.ResolveNamedTags(message.Get(), true)));
    ASSERT_TRUE(SUCCEEDED(second.ResolveNamedTags(message.Get(), true)));

    // One name, one id, whatever type each list wants it in; another name gets another id.
    EXPECT_GE(PROP_ID(first[0].GetTag()), 0x8000u);
    EXPECT_EQ(PROP_TYPE(first[0].GetTag()), static_cast<ULONG>(PT_LONG));
    EXPECT_EQ(second[1].GetTag(), static_cast<ULONG>(PROP_TAG(PT_BOOLEAN, PROP_ID(first[0].GetTag()))));
    EXPECT_NE(PROP_ID(second[2].GetTag()), PROP_ID(first[0].GetTag()));
    EXPECT_EQ(PROP_TYPE(second[2].GetTag()), static_cast<ULONG>(PT_STRING8));
}

TEST_F(PropValueTest, TagArrayIsTheCountThenTheTagsInOrder) {
    CMAPITagsArray tags{CPropTag(PR_RECORD_KEY), CPropTag(PR_ENTRYID), CPropTag(PR_LAST_MODIFICATION_TIME)};
    std::vector<BYTE> buffer = tags.BuildTagArray();
    ASSERT_GE(buffer.size(), 4 * sizeof(ULONG));
    const auto* array = reinterpret_cast<const SPropTagArray*>(buffer.data());
    ASSERT_EQ(array->cValues, 3u);
    EXPECT_EQ(array->aulPropTag[0], static_cast<ULONG>(PR_RECORD_KEY));
    EXPECT_EQ(array->aulPropTag[1], static_cast<ULONG>(PR_ENTRYID));
    EXPECT_EQ(array->aulPropTag[2], static_cast<ULONG>(PR_LAST_MODIFICATION_TIME));

    CMAPITagsArray none;
    std::vector<BYTE> empty = none.BuildTagArray();
    ASSERT_GE(empty.size(), sizeof(ULONG));
    EXPECT_EQ(reinterpret_cast<const SPropTagArray*>(empty.data())->cValues, 0u);
}
