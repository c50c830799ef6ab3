// IMAPIFolder: one folder of a store, found by its entry id on every call. Its properties are
// live (SetProps changes the folder at once, as folders in real stores do).
#include "PropObject.h"

namespace standin::detail {
namespace {

void AddTree(World& w, const FolderRec& f, LONG depth, bool deep, std::vector<Bag>* rows) {
    for (const Bytes& c : f.children) {
        FolderRec* child = w.Folder(c);
        if (!child || child == &f) continue;
        rows->push_back(w.HierarchyRow(*child, depth));
        if (deep) AddTree(w, *child, depth + 1, deep, rows);
    }
}

class Folder : public PropObject<IMAPIFolder> {
public:
    explicit Folder(Bytes id) : id_(std::move(id)) {}

    // IMAPIContainer
    STDMETHODIMP GetContentsTable(ULONG flags, LPMAPITABLE* table) override {
        Call call("IMAPIFolder::GetContentsTable", "IMAPIContainer::GetContentsTable");
        if (call.Failed()) return call.Result();
        if (!table) return MAPI_E_INVALID_PARAMETER;
        *table = nullptr;
        World& w = W();
        FolderRec* f = w.Folder(id_);
        if (!f) return MAPI_E_OBJECT_DELETED;
        std::vector<TableRow> rows;
        if (!(flags & MAPI_ASSOCIATED)) { // the stand-in keeps no associated (hidden) items
            for (const Bytes& id : f->items)
                if (ItemRec* i = w.Item(id); i && !i->hidden) rows.push_back(w.ContentsRow(*i));
        }
        *table = NewTable(std::move(rows), {PR_ENTRYID, PR_LONGTERM_ENTRYID_FROM_TABLE, PR_RECORD_KEY, PR_SUBJECT_A,
                                            PR_MESSAGE_CLASS_A, PR_LAST_MODIFICATION_TIME, PR_INSTANCE_KEY});
        return S_OK;
    }

    STDMETHODIMP GetHierarchyTable(ULONG flags, LPMAPITABLE* table) override {
        Call call("IMAPIFolder::GetHierarchyTable", "IMAPIContainer::GetHierarchyTable");
        if (call.Failed()) return call.Result();
        if (!table) return MAPI_E_INVALID_PARAMETER;
        *table = nullptr;
        World& w = W();
        FolderRec* f = w.Folder(id_);
        if (!f) return MAPI_E_OBJECT_DELETED;
        if (!f->hierarchy) return MAPI_E_NO_SUPPORT;
        std::vector<Bag> rows;
        AddTree(w, *f, 1, (flags & CONVENIENT_DEPTH) != 0, &rows);
        *table = NewTable(std::move(rows), {PR_ENTRYID, PR_LONGTERM_ENTRYID_FROM_TABLE, PR_DISPLAY_NAME_A,
                                            PR_SUBFOLDERS, PR_CONTAINER_CLASS_A, PR_DEPTH, PR_INSTANCE_KEY});
        return S_OK;
    }

    STDMETHODIMP OpenEntry(ULONG cb, LPENTRYID id, LPCIID iface, ULONG flags, ULONG* type, LPUNKNOWN* out) override {
        Call call("IMAPIFolder::OpenEntry", "IMAPIContainer::OpenEntry");
        if (call.Failed()) return call.Result();
        FolderRec* f = W().Folder(id_);
        if (!f) return MAPI_E_OBJECT_DELETED;
        return OpenAnyEntry(f->store, cb, id, iface, flags, type, out);
    }

    STDMETHODIMP SetSearchCriteria(LPSRestriction, LPENTRYLIST, ULONG) override {
        return NoSupport("SetSearchCriteria", "IMAPIContainer::SetSearchCriteria");
    }
    STDMETHODIMP GetSearchCriteria(ULONG, LPSRestriction*, LPENTRYLIST*, ULONG*) override {
        return NoSupport("GetSearchCriteria", "IMAPIContainer::GetSearchCriteria");
    }

    // IMAPIFolder
    STDMETHODIMP CreateMessage(LPCIID iface, ULONG, LPMESSAGE* out) override {
        Call call("IMAPIFolder::CreateMessage");
        if (call.Failed()) return call.Result();
        if (!out) return MAPI_E_INVALID_PARAMETER;
        *out = nullptr;
        FolderRec* f = W().Folder(id_);
        if (!f) return MAPI_E_OBJECT_DELETED;
        if (f->refusesCreate) return MAPI_E_NO_ACCESS;
        if (iface && !IsEqualIID(*iface, IID_IMessage) && !IsEqualIID(*iface, IID_IMAPIProp) &&
            !IsEqualIID(*iface, IID_IUnknown))
            return MAPI_E_INTERFACE_NOT_SUPPORTED;
        *out = NewUnsavedMessage(f->id);
        return S_OK;
    }

    STDMETHODIMP CopyMessages(LPENTRYLIST, LPCIID, LPVOID, ULONG, LPMAPIPROGRESS, ULONG) override {
        return NoSupport("CopyMessages");
    }

    STDMETHODIMP DeleteMessages(LPENTRYLIST list, ULONG, LPMAPIPROGRESS, ULONG) override {
        Call call("IMAPIFolder::DeleteMessages");
        if (call.Failed()) return call.Result();
        if (!list) return MAPI_E_INVALID_PARAMETER;
        World& w = W();
        FolderRec* f = w.Folder(id_);
        if (!f) return MAPI_E_OBJECT_DELETED;
        if (!f->canDelete) return MAPI_E_NO_ACCESS;
        bool missing = false;
        for (ULONG k = 0; k < list->cValues; ++k) {
            ItemRec* i = w.Item(BytesOf(list->lpbin[k].cb, list->lpbin[k].lpb));
            // A message open for writing (here or in an Outlook window) cannot be deleted.
            if (i && i->folder == f->id && !w.IsOpenForWrite(i->id)) {
                const Bytes removed = i->id;
                w.RemoveItem(removed);
                JournalRemoval(removed);
                NotifyItem(fnevObjectDeleted, removed, f->id);
            } else {
                missing = true;
            }
        }
        return missing ? MAPI_W_PARTIAL_COMPLETION : S_OK;
    }

    STDMETHODIMP CreateFolder(ULONG, LPSTR name, LPSTR, LPCIID iface, ULONG flags, LPMAPIFOLDER* out) override {
        Call call("IMAPIFolder::CreateFolder");
        if (call.Failed()) return call.Result();
        if (!out || !name) return MAPI_E_INVALID_PARAMETER;
        *out = nullptr;
        World& w = W();
        FolderRec* f = w.Folder(id_);
        if (!f) return MAPI_E_OBJECT_DELETED;
        if (!f->canWrite) return MAPI_E_NO_ACCESS;
        std::string text = (flags & MAPI_UNICODE) ? Narrow(reinterpret_cast<const wchar_t*>(name)) : std::string(name);
        Bytes found;
        for (const Bytes& c : f->children) {
            FolderRec* child = w.Folder(c);
            const Value* v = child && child != f ? BagFind(child->props, PR_DISPLAY_NAME_A) : nullptr;
            if (v && v->type == PT_STRING8 && v->s == text) found = child->id;
        }
        if (!found.empty() && !(flags & OPEN_IF_EXISTS)) return MAPI_E_COLLISION;
        if (found.empty()) found = standin::AddFolder(f->id, text, "");
        IMAPIFolder* folder = NewFolderObject(found);
        if (iface && !IsEqualIID(*iface, IID_IMAPIFolder)) {
            folder->Release();
            return MAPI_E_INTERFACE_NOT_SUPPORTED;
        }
        *out = folder;
        return S_OK;
    }

    STDMETHODIMP CopyFolder(ULONG, LPENTRYID, LPCIID, LPVOID, LPSTR, ULONG, LPMAPIPROGRESS, ULONG) override {
        return NoSupport("CopyFolder");
    }

    STDMETHODIMP DeleteFolder(ULONG cb, LPENTRYID id, ULONG, LPMAPIPROGRESS, ULONG) override {
        Call call("IMAPIFolder::DeleteFolder");
        if (call.Failed()) return call.Result();
        World& w = W();
        FolderRec* f = w.Folder(id_);
        if (!f) return MAPI_E_OBJECT_DELETED;
        FolderRec* child = w.Folder(BytesOf(cb, id));
        if (!child || child->parent != f->id || child == f) return MAPI_E_NOT_FOUND;
        if (!f->canDelete) return MAPI_E_NO_ACCESS;
        w.RemoveFolderTree(child->id);
        return S_OK;
    }

    STDMETHODIMP SetReadFlags(LPENTRYLIST, ULONG, LPMAPIPROGRESS, ULONG) override { return NoSupport("SetReadFlags"); }
    STDMETHODIMP GetMessageStatus(ULONG, LPENTRYID, ULONG, ULONG*) override { return NoSupport("GetMessageStatus"); }
    STDMETHODIMP SetMessageStatus(ULONG, LPENTRYID, ULONG, ULONG, ULONG*) override {
        return NoSupport("SetMessageStatus");
    }
    STDMETHODIMP SaveContentsSort(LPSSortOrderSet, ULONG) override { return NoSupport("SaveContentsSort"); }
    STDMETHODIMP EmptyFolder(ULONG, LPMAPIPROGRESS, ULONG) override { return NoSupport("EmptyFolder"); }

protected:
    const char* Iface() const override { return "IMAPIFolder"; }
    Bytes StoreOfObject() const override {
        FolderRec* f = W().Folder(id_);
        return f ? f->store : Bytes();
    }
    bool HasInterface(REFIID riid) const override {
        return IsEqualIID(riid, IID_IMAPIFolder) || IsEqualIID(riid, IID_IMAPIContainer);
    }
    HRESULT ReadBag(Bag* out) override {
        FolderRec* f = W().Folder(id_);
        if (!f) return MAPI_E_OBJECT_DELETED;
        *out = W().FolderProps(*f);
        return S_OK;
    }
    HRESULT WritableBag(Bag** out) override {
        *out = nullptr;
        FolderRec* f = W().Folder(id_);
        if (!f) return MAPI_E_OBJECT_DELETED;
        if (!f->canWrite) return MAPI_E_NO_ACCESS;
        *out = &f->props;
        return S_OK;
    }
    bool IsComputed(ULONG id) const override {
        return id == PROP_ID(PR_ENTRYID) || id == PROP_ID(PR_PARENT_ENTRYID) || id == PROP_ID(PR_RECORD_KEY) ||
               id == PROP_ID(PR_SUBFOLDERS) || id == PROP_ID(PR_CONTENT_COUNT);
    }

private:
    static HRESULT NoSupport(const char* method, const char* alias = nullptr) {
        Call call(Member{"IMAPIFolder", method}, alias);
        if (call.Failed()) return call.Result();
        return MAPI_E_NO_SUPPORT;
    }

    Bytes id_;
};

} // namespace

IMAPIFolder* NewFolderObject(const Bytes& folderId) { return new Folder(folderId); }

} // namespace standin::detail
