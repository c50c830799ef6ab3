#include "engine/SyncRun.h"

#include "base/Errors.h"
#include "base/RefCounted.h"
#include "engine/FolderCacheFactory.h"
#include "engine/Synchronizer.h"
#include "resources/StringIds.h"

namespace {

// One pair: its own failure is reported and the run goes on; a cancel goes on up.
void RunPair(const CRefCountPtr<CAssocDesc>& pair, const CRefCountPtr<CFolderCacheFactory>& factory,
             IStatusWindow& status) {
    try {
        CSynchronizer(pair, factory, &status).Proceed();
    } catch (const Error::ZxException& e) {
        status.ReportError(e.GetErrorText());
    } catch (const CAbortException&) {
        throw;
    } catch (...) {
        status.ReportError(IDS_SYNC_ERROR);
    }
}

} // namespace

void RunAllPairs(const std::string& profileName, const CAssocsContainer& pairs, IStatusWindow& status) {
    try {
        try {
            const CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(profileName));
            factory->LoadIndex();
            for (const CRefCountPtr<CAssocDesc>& pair : pairs) {
                if (pair) RunPair(pair, factory, status);
            }
        } catch (const CAbortException&) {
            status.ReportError(IDS_SYNC_INTERRUPTED);
        } catch (...) {
            status.ReportError(IDS_SYNC_UNKNOWN_ERROR);
        }
    } catch (...) {
        // The closing report itself may raise a cancel that is still pending; the run is over anyway.
    }
}
