#include "engine/SyncRun.h"

#include <windows.h>

#include "base/Errors.h"
#include "base/Paths.h"
#include "base/Resource.h"
#include "base/StringTable.h"
#include "base/RefCounted.h"
#include "engine/FolderCacheFactory.h"
#include "engine/Synchronizer.h"
#include "resources/StringIds.h"

namespace {

// Beside "cache.index": held, unshared, while a run works on the profile's state.
const char kLockFileName[] = "cache.lock";

// Whether another run holds the lock file (or is just removing it). A lock file that is absent, a folder
// in its place, or one that opens for reading is held by nobody: then it is the folder (read-only, say)
// that refuses the file.
bool IsLockHeld(const std::string& lockPath) {
    const DWORD attributes = GetFileAttributesA(lockPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const zx::unique_hfile probe(CreateFileA(lockPath.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (probe) return false;
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
}

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
            // The profile's state belongs to one run at a time: a second run would act on caches that
            // the first is about to replace, and items would be lost between them. The lock goes with
            // the run (and with its process, however that ends).
            const std::string lockPath = (ZxFsPath(factory->GetCacheFolder()) / kLockFileName).Str();
            const zx::unique_hfile lock(CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE,
                                                    nullptr));
            if (!lock) {
                const DWORD error = GetLastError();
                if (error == ERROR_SHARING_VIOLATION || (error == ERROR_ACCESS_DENIED && IsLockHeld(lockPath)))
                    status.ReportError(IDS_STATE_IN_USE);
                else
                    status.ReportError(ZxFormat(ZxLoadString(IDS_CANNOT_RECORD_STATE).c_str(), lockPath.c_str()));
                return;
            }
            factory->LoadIndex();
            for (const CRefCountPtr<CAssocDesc>& pair : pairs) {
                if (!pair) continue;
                RunPair(pair, factory, status);
                // Letting go of a large pair's state takes a while of its own.
                status.GiveWay();
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
