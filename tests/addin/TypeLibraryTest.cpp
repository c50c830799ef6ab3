// The module's type library as an automation client reads it: ITypeLib and ITypeInfo.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "AddinTestSupport.h"
#include "ZxMerrowlinkExt.h"

using Microsoft::WRL::ComPtr;

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string Name(ITypeInfo* info, MEMBERID id = MEMBERID_NIL, std::string* doc = nullptr) {
    BSTR name = nullptr, docString = nullptr;
    if (FAILED(info->GetDocumentation(id, &name, &docString, nullptr, nullptr))) return "?";
    std::wstring w(name ? name : L"");
    if (doc) {
        std::wstring d(docString ? docString : L"");
        *doc = std::string(d.begin(), d.end());
    }
    SysFreeString(name);
    SysFreeString(docString);
    return std::string(w.begin(), w.end());
}

class TypeLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadTypeLibEx(Wide(addintest::AddinModulePath()).c_str(), REGKIND_NONE, &m_library), S_OK);
    }

    ComPtr<ITypeInfo> Info(const GUID& guid) {
        ComPtr<ITypeInfo> info;
        EXPECT_EQ(m_library->GetTypeInfoOfGuid(guid, &info), S_OK);
        return info;
    }

    ComPtr<ITypeLib> m_library;
};

TEST_F(TypeLibrary, NamesItsLibraryAndVersion) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(m_library->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_ZxBrackenmeadowSyncExtLib));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0x409u);
    m_library->ReleaseTLibAttr(attr);
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(m_library->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"ZxBrackenmeadowSyncExtLib");
    EXPECT_STREQ(doc, L"ZxBrackenmeadowSyncExt 1.0 Type Library");
    SysFreeString(name);
    SysFreeString(doc);
    // Exactly the three classes and their three interfaces: Office's interfaces live in a private library.
    EXPECT_EQ(m_library->GetTypeInfoCount(), 6u);
}

TEST_F(TypeLibrary, DescribesEveryClass) {
    struct Case {
        const GUID* clsid;
        const char* name;
        const char* help;
        WORD flags;
        const GUID* defaultInterface;
    } cases[] = {
        {&CLSID_ZxMerrowlinkAddin, "ZxMerrowlinkAddin", "ZxMerrowlinkAddin Class", TYPEFLAG_FCANCREATE,
         &IID_IZxMerrowlinkAddin},
        {&CLSID_SettingsPropPage, "SettingsPropPage", "SettingsPropPage Class", TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL,
         &IID_ISettingsPropPage},
        {&CLSID_AutoSyncPropPage, "AutoSyncPropPage", "AutoSyncPropPage Class", TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL,
         &IID_IAutoSyncPropPage},
    };
    for (const Case& c : cases) {
        ComPtr<ITypeInfo> info = Info(*c.clsid);
        ASSERT_TRUE(info) << c.name;
        std::string help;
        EXPECT_EQ(Name(info.Get(), MEMBERID_NIL, &help), c.name);
        EXPECT_EQ(help, c.help);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_EQ(attr->typekind, TKIND_COCLASS) << c.name;
        EXPECT_EQ(attr->wTypeFlags, c.flags) << c.name;
        ASSERT_EQ(attr->cImplTypes, 1) << c.name;
        info->ReleaseTypeAttr(attr);
        INT implFlags = 0;
        EXPECT_EQ(info->GetImplTypeFlags(0, &implFlags), S_OK);
        EXPECT_TRUE(implFlags & IMPLTYPEFLAG_FDEFAULT) << c.name;
        HREFTYPE ref = 0;
        ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
        ComPtr<ITypeInfo> iface;
        ASSERT_EQ(info->GetRefTypeInfo(ref, &iface), S_OK);
        TYPEATTR* ifaceAttr = nullptr;
        ASSERT_EQ(iface->GetTypeAttr(&ifaceAttr), S_OK);
        EXPECT_TRUE(IsEqualGUID(ifaceAttr->guid, *c.defaultInterface)) << c.name;
        iface->ReleaseTypeAttr(ifaceAttr);
    }
}

TEST_F(TypeLibrary, DescribesTheAddInInterfaceMethodByMethod) {
    ComPtr<ITypeInfo> dispatch = Info(IID_IZxMerrowlinkAddin);
    ASSERT_TRUE(dispatch);
    std::string help;
    EXPECT_EQ(Name(dispatch.Get(), MEMBERID_NIL, &help), "IZxMerrowlinkAddin");
    EXPECT_EQ(help, "IZxMerrowlinkAddin Interface");
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE),
              TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE);
    dispatch->ReleaseTypeAttr(attr);

    // The vtable side: derived from IDispatch, four methods after IDispatch's seven.
    HREFTYPE ref = 0;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &ref), S_OK);
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(dispatch->GetRefTypeInfo(ref, &vtable), S_OK);
    ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    EXPECT_EQ(attr->cFuncs, 4);
    vtable->ReleaseTypeAttr(attr);

    struct Method {
        MEMBERID id;
        const char* name;
        std::vector<const char*> params;
        bool returnsPicture;
    } methods[] = {
        {1, "OnRibbonLoad", {"pRibbonUI"}, false},
        {2, "OnOptionsBtnClicked", {"pRibbonControl"}, false},
        {3, "OnSyncButtonClicked", {"pRibbonControl"}, false},
        {4, "GetSyncBtnImage", {"pControl", "ppdispImage"}, true},
    };
    for (UINT i = 0; i < 4; ++i) {
        const Method& m = methods[i];
        FUNCDESC* func = nullptr;
        ASSERT_EQ(vtable->GetFuncDesc(i, &func), S_OK);
        EXPECT_EQ(func->memid, m.id) << m.name;
        EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + i) * sizeof(void*))) << m.name;
        EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT) << m.name;
        ASSERT_EQ(func->cParams, static_cast<SHORT>(m.params.size())) << m.name;
        EXPECT_EQ(func->lprgelemdescParam[0].tdesc.vt, VT_DISPATCH) << m.name;
        EXPECT_TRUE(func->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FIN) << m.name;
        if (m.returnsPicture) {
            EXPECT_TRUE(func->lprgelemdescParam[1].paramdesc.wParamFlags & PARAMFLAG_FOUT);
            EXPECT_TRUE(func->lprgelemdescParam[1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
            const TYPEDESC& outer = func->lprgelemdescParam[1].tdesc;
            ASSERT_EQ(outer.vt, VT_PTR);
            ASSERT_EQ(outer.lptdesc->vt, VT_PTR);
            ASSERT_EQ(outer.lptdesc->lptdesc->vt, VT_USERDEFINED);
            ComPtr<ITypeInfo> picture;
            ASSERT_EQ(vtable->GetRefTypeInfo(outer.lptdesc->lptdesc->hreftype, &picture), S_OK);
            EXPECT_EQ(Name(picture.Get()), "IPictureDisp");
        }
        BSTR names[4] = {};
        UINT count = 0;
        ASSERT_EQ(vtable->GetNames(m.id, names, 4, &count), S_OK);
        ASSERT_EQ(count, m.params.size() + 1) << m.name;
        EXPECT_EQ(std::wstring(names[0]), Wide(m.name));
        for (UINT p = 0; p < m.params.size(); ++p) EXPECT_EQ(std::wstring(names[p + 1]), Wide(m.params[p]));
        for (BSTR n : names) SysFreeString(n);
        vtable->ReleaseFuncDesc(func);
    }
}

TEST_F(TypeLibrary, DescribesThePageInterfaceWithoutMethodsOfItsOwn) {
    ComPtr<ITypeInfo> dispatch = Info(IID_ISettingsPropPage);
    ASSERT_TRUE(dispatch);
    std::string help;
    EXPECT_EQ(Name(dispatch.Get(), MEMBERID_NIL, &help), "ISettingsPropPage");
    EXPECT_EQ(help, "ISettingsPropPage Interface");
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE);
    dispatch->ReleaseTypeAttr(attr);
    HREFTYPE ref = 0;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &ref), S_OK);
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(dispatch->GetRefTypeInfo(ref, &vtable), S_OK);
    ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cFuncs, 0);
    EXPECT_EQ(attr->cbSizeVft, 7 * sizeof(void*));
    vtable->ReleaseTypeAttr(attr);
}

} // namespace
