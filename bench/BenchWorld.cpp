#include "BenchWorld.h"

#include <mapitags.h>

#include <cstdio>
#include <cstdlib>

#include "config/FolderDesc.h"
#include "config/FolderKind.h"

namespace bench {
namespace {

ZxSBinary Zx(const standin::Bytes& b) {
    return ZxSBinary(static_cast<ULONG>(b.size()), reinterpret_cast<const BYTE*>(b.data()));
}

// An appointment of ordinary size: subject, a few hundred bytes of body, times, location-like text.
void Fill(const standin::Bytes& folder, int items) {
    const std::string body(320, 'x');
    const FILETIME day = standin::MakeTime(2026, 3, 2, 9);
    for (int k = 0; k < items; ++k) {
        char subject[64];
        std::snprintf(subject, sizeof subject, "Meeting %06d", k);
        standin::PropMap props;
        props[PR_MESSAGE_CLASS_A] = standin::Value::String("IPM.Appointment");
        props[PR_BODY_A] = standin::Value::String(body);
        props[PR_START_DATE] = standin::Value::Time(day);
        props[PR_END_DATE] = standin::Value::Time(day);
        props[PR_IMPORTANCE] = standin::Value::Long(1);
        props[PR_SENSITIVITY] = standin::Value::Long(0);
        standin::AddItem(folder, subject, props);
    }
}

} // namespace

BenchFolders BuildWorld(int items) {
    standin::Reset(kProfileName);
    standin::StoreSpec descr;
    descr.displayName = "Bench Folders";
    descr.isDefault = true;
    descr.standardFolders = false;
    const standin::Bytes store = standin::AddStore(descr);
    const standin::Bytes top = standin::IpmSubtree(store);
    BenchFolders f;
    f.source = standin::AddFolder(top, "Source", "IPF.Appointment");
    f.target = standin::AddFolder(top, "Target", "IPF.Appointment");
    f.bareSource = standin::AddFolder(top, "Bare source", "IPF.Appointment");
    f.bareTarget = standin::AddFolder(top, "Bare target", "IPF.Appointment");
    Fill(f.source, items);
    Fill(f.bareSource, items);
    return f;
}

ZxIMAPIFolder OpenFolder(const ZxIMAPISession& session, const standin::Bytes& folder) {
    standin::FolderView view;
    ZxIMAPIFolder opened;
    if (!standin::GetFolder(folder, &view)) return opened;
    ZxIMsgStore store;
    if (FAILED(session.OpenMsgStore(Zx(view.store), store, CFolderDesc::kOpenStoreFlags))) return opened;
    store.OpenEntry(Zx(view.entryId), opened, MAPI_BEST_ACCESS);
    return opened;
}

CRefCountPtr<CAssocDesc> OpenPair(const ZxIMAPISession& session, const standin::Bytes& folder1,
                                  const standin::Bytes& folder2) {
    CRefCountPtr<CAssocDesc> pair = MakeRefCounted<CAssocDesc>();
    for (int side = 0; side < 2; ++side) {
        standin::FolderView view;
        standin::GetFolder(side == 0 ? folder1 : folder2, &view);
        ZxIMsgStore store;
        ZxIMAPIFolder folder;
        // A pair that cannot be opened would time nothing: the benchmark stops instead.
        if (FAILED(session.OpenMsgStore(Zx(view.store), store, CFolderDesc::kOpenStoreFlags)) ||
            FAILED(store.OpenEntry(Zx(view.entryId), folder, MAPI_BEST_ACCESS))) {
            std::fprintf(stderr, "bench: cannot open the folders of the pair\n");
            std::exit(2);
        }
        const CFolderDesc desc(Zx(view.entryId), Zx(view.store), folder.GetFolderPath(store.Get(), '\\'), folder, store,
                               GetFolderKindBit(view.containerClass));
        if (side == 0)
            pair->SetFolder1(desc);
        else
            pair->SetFolder2(desc);
    }
    return pair;
}

int ChangeOnePercent(const standin::Bytes& folder, const std::string& newBody) {
    const std::vector<standin::ItemView> items = standin::Items(folder);
    int changed = 0;
    for (size_t k = 0; k < items.size(); k += 100) {
        standin::PropMap change;
        change[PR_BODY_A] = standin::Value::String(newBody);
        if (standin::EditItem(items[k].entryId, change)) ++changed;
    }
    return changed;
}

} // namespace bench
