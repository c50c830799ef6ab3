#pragma once
// The controller: one per process, set up against an Outlook explorer. It holds Outlook's application,
// the MAPI session of Outlook's profile and the command bar installer.
#include <memory>

#include "addin/AutoSync.h"
#include "addin/Dispatch.h"
#include "addin/OutlookCommandBars.h"
#include "base/RefCounted.h"
#include "mapi/Session.h"

class CMerrowlinkExtension : public CRefCountedT<FreeThreadedModel> {
public:
    CMerrowlinkExtension();
    ~CMerrowlinkExtension() override;

    // Once until Uninitialize: the session from the explorer's application, command bars below version 14.
    // Throws ZxException and Error::ZxComError.
    void Initialize(const Outlook::CDispatchDriver& explorer);
    // Never throws.
    void Uninitialize();

    ZxIMAPISession GetSession() const { return m_session; }
    const Outlook::CDispatchDriver& GetApplication() const { return m_application; }
    const CRefCountPtr<Toolbars::COutlookCommandBars>& GetCommandBars() const { return m_commandBars; }
    bool IsInitialized() const { return m_initialized; }
    // The automatic runs: started with the session, stopped by Uninitialize.
    CAutoSync& GetAutoSync() { return *m_autoSync; }

private:
    // The first number of the application's Version; 0 when it has none.
    int MajorVersion() const;

    bool m_initialized = false;
    Outlook::CDispatchDriver m_application;
    ZxIMAPISession m_session;
    CRefCountPtr<Toolbars::COutlookCommandBars> m_commandBars;
    std::unique_ptr<CAutoSync> m_autoSync;
};

class CGlobalObjects {
public:
    CGlobalObjects();
    CRefCountPtr<CMerrowlinkExtension> m_extension;
};

// The process-wide objects, created on first use.
CGlobalObjects& GetGlobalObjects();
