// The add-in module as COM uses it in-process: class objects, aggregation, the lock count, and the
// IDispatch of each of the add-in object's interfaces served from its own type information.
#include <gtest/gtest.h>

#include <windows.h>
#include <wrl/client.h>

#include <string>

#include "AddinTestSupport.h"
#include "HostInterfaces.h"
#include "ZxMerrowlinkExt.h"

using Microsoft::WRL::ComPtr;

namespace {

// A controlling unknown that counts the references its inner object hands to it.
class Outer final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
    IUnknown* inner = nullptr;
};

class Module : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CoInitialize(nullptr);
        ASSERT_TRUE(addintest::EnsureRegistered());
    }
    static void TearDownTestSuite() { CoUninitialize(); }

    using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

    // The module as COM loaded it for this process.
    template <class Fn>
    static Fn Export(const char* name) {
        HMODULE module = GetModuleHandleA(addintest::AddinModulePath().c_str());
        if (!module) module = LoadLibraryA(addintest::AddinModulePath().c_str());
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }

    static ComPtr<IUnknown> Create() {
        ComPtr<IUnknown> addin;
        EXPECT_EQ(CoCreateInstance(CLSID_ZxMerrowlinkAddin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(addin.GetAddressOf())),
                  S_OK);
        return addin;
    }
};

TEST_F(Module, UnknownClassesAreNotAvailable) {
    auto getClassObject = Export<GetClassObjectFn>("DllGetClassObject");
    ASSERT_TRUE(getClassObject);
    const CLSID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    void* factory = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(unknown, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    ComPtr<IClassFactory> addinFactory;
    EXPECT_EQ(getClassObject(CLSID_ZxMerrowlinkAddin, IID_IClassFactory,
                             reinterpret_cast<void**>(addinFactory.GetAddressOf())),
              S_OK);
}

TEST_F(Module, TheLockCountFollowsObjectsAndLocks) {
    ComPtr<IUnknown> addin = Create();
    ASSERT_TRUE(addin);
    auto canUnload = Export<CanUnloadFn>("DllCanUnloadNow");
    ASSERT_TRUE(canUnload);
    EXPECT_EQ(canUnload(), S_FALSE);
    addin.Reset();
    EXPECT_EQ(canUnload(), S_OK);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_ZxMerrowlinkAddin, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(factory.GetAddressOf())),
              S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(Module, TheAddInCanBeAggregated) {
    Outer outer;
    ComPtr<IUnknown> inner;
    ASSERT_EQ(CoCreateInstance(CLSID_ZxMerrowlinkAddin, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(inner.GetAddressOf())),
              S_OK);
    outer.inner = inner.Get();
    const ULONG before = outer.refs;
    ComPtr<IZxMerrowlinkAddin> addin;
    ASSERT_EQ(inner.As(&addin), S_OK);
    EXPECT_EQ(outer.refs, before + 1) << "an aggregated object's interfaces count on the outer object";
    ComPtr<IUnknown> identity;
    ASSERT_EQ(addin->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.GetAddressOf())), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
    identity.Reset();
    addin.Reset();
    EXPECT_EQ(outer.refs, before);
    outer.inner = nullptr;

    ComPtr<IUnknown> refused;
    EXPECT_EQ(CoCreateInstance(CLSID_ZxMerrowlinkAddin, &outer, CLSCTX_INPROC_SERVER, IID_IZxMerrowlinkAddin,
                               reinterpret_cast<void**>(refused.GetAddressOf())),
              CLASS_E_NOAGGREGATION);
}

TEST_F(Module, EachInterfaceServesItsOwnDispatchNames) {
    ComPtr<IUnknown> addin = Create();
    ASSERT_TRUE(addin);
    ComPtr<IDispatch> byDefault;
    ComPtr<_IDTExtensibility2> extensibility;
    ComPtr<IRibbonExtensibility> ribbon;
    ASSERT_EQ(addin.As(&byDefault), S_OK);
    ASSERT_EQ(addin.As(&extensibility), S_OK);
    ASSERT_EQ(addin.As(&ribbon), S_OK);
    struct Case {
        IDispatch* dispatch;
        const wchar_t* name;
        DISPID expected;
    } cases[] = {
        {byDefault.Get(), L"OnRibbonLoad", 1},     {byDefault.Get(), L"GetSyncBtnImage", 4},
        {byDefault.Get(), L"OnConnection", DISPID_UNKNOWN}, {extensibility.Get(), L"OnConnection", 1},
        {extensibility.Get(), L"OnBeginShutdown", 5},       {ribbon.Get(), L"GetCustomUI", 1},
    };
    for (const Case& c : cases) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
        DISPID id = DISPID_UNKNOWN;
        const HRESULT hr = c.dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        EXPECT_EQ(hr, c.expected == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK) << std::wstring(c.name).size();
        EXPECT_EQ(id, c.expected);
    }
}

TEST_F(Module, GetCustomUIThroughIDispatchReturnsTheMarkup) {
    ComPtr<IUnknown> addin = Create();
    ComPtr<IRibbonExtensibility> ribbon;
    ASSERT_EQ(addin.As(&ribbon), S_OK);
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocString(L"Microsoft.Outlook.Explorer");
    DISPPARAMS params{&arg, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(static_cast<IDispatch*>(ribbon.Get())->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                                            &result, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_NE(std::wstring(result.bstrVal).find(L"onLoad=\"OnRibbonLoad\""), std::wstring::npos);
    VariantClear(&result);
    VariantClear(&arg);
}

} // namespace
