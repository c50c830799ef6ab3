// Object notifications of the stand-in stores (IMsgStore::Advise / Unadvise), as the MAPI reference
// describes them for real stores:
// - a registration names a folder or message of the store by its entry id, or the whole store (no id);
// - fnevObjectCreated, fnevObjectModified, fnevObjectDeleted and fnevObjectMoved come with an
//   OBJECT_NOTIFICATION: the message's entry id, MAPI_MESSAGE, its parent folder's id and, for a move,
//   the old id and old parent;
// - an event reaches a folder's registrations when the message is (or, moved, was) in that folder,
//   a message's own when it is that message, and the store's when it is in that store;
// - delivery is asynchronous: the change is queued and the sink's OnNotify is called later on the thread
//   that registered, from its message loop (a window of MAPI's own), never inside the call that made the
//   change; the NOTIFICATION and everything it points to belong to MAPI and last only for the call;
// - the store keeps a reference on the sink until Unadvise or until the store object goes.
#include "PropObject.h"

#include <algorithm>
#include <deque>
#include <map>

namespace standin::detail {
namespace {

struct Registration {
    const void* owner; // the store object
    Bytes store; // its openable id
    Bytes object; // folder or message long id; empty: the whole store
    ULONG mask;
    IMAPIAdviseSink* sink;
    HWND window; // the registering thread's delivery window
};

struct Pending {
    ULONG connection;
    ULONG event;
    Bytes item, folder, oldFolder;
};

std::map<ULONG, Registration>& Registrations() {
    static std::map<ULONG, Registration> registrations;
    return registrations;
}
std::deque<Pending>& Queue() {
    static std::deque<Pending> queue;
    return queue;
}
ULONG g_nextConnection = 1;

constexpr UINT kDeliver = WM_APP + 0x3A7;
const char kWindowClass[] = "StandinMapiNotifications";

void Deliver(HWND window);

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kDeliver) {
        Deliver(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const char*>(&WindowProc), &module);
    return module;
}

// One delivery window per registering thread, made at its first registration.
HWND ThreadWindow() {
    thread_local HWND window = nullptr;
    if (window && IsWindow(window)) return window;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ThisModule();
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), nullptr);
    return window;
}

bool Matches(const Registration& r, ULONG event, const Bytes& item, const Bytes& folder, const Bytes& oldFolder) {
    if (!(r.mask & event)) return false;
    World& w = W();
    const FolderRec* in = w.Folder(folder);
    if (!in || in->store != r.store) return false;
    if (r.object.empty()) return true;
    return r.object == item || r.object == folder || (!oldFolder.empty() && r.object == oldFolder);
}

void Deliver(HWND window) {
    for (;;) {
        Pending next;
        IMAPIAdviseSink* sink = nullptr;
        {
            Lock lock(Mutex());
            auto& queue = Queue();
            // Events of registrations that are gone are never delivered.
            std::erase_if(queue, [](const Pending& p) { return !Registrations().count(p.connection); });
            const auto at = std::find_if(queue.begin(), queue.end(), [window](const Pending& p) {
                return Registrations().at(p.connection).window == window;
            });
            if (at == queue.end()) return;
            next = *at;
            queue.erase(at);
            sink = Registrations().at(next.connection).sink;
            sink->AddRef();
        }
        NOTIFICATION n{};
        n.ulEventType = next.event;
        n.info.obj.cbEntryID = static_cast<ULONG>(next.item.size());
        n.info.obj.lpEntryID = reinterpret_cast<LPENTRYID>(const_cast<char*>(next.item.data()));
        n.info.obj.ulObjType = MAPI_MESSAGE;
        n.info.obj.cbParentID = static_cast<ULONG>(next.folder.size());
        n.info.obj.lpParentID = reinterpret_cast<LPENTRYID>(const_cast<char*>(next.folder.data()));
        if (next.event == fnevObjectMoved) {
            n.info.obj.cbOldID = n.info.obj.cbEntryID;
            n.info.obj.lpOldID = n.info.obj.lpEntryID;
            n.info.obj.cbOldParentID = static_cast<ULONG>(next.oldFolder.size());
            n.info.obj.lpOldParentID = reinterpret_cast<LPENTRYID>(const_cast<char*>(next.oldFolder.data()));
        }
        sink->OnNotify(1, &n);
        sink->Release();
    }
}

} // namespace

void NotifyItem(ULONG event, const Bytes& item, const Bytes& folder, const Bytes& oldFolder) {
    Lock lock(Mutex());
    for (const auto& [connection, r] : Registrations()) {
        if (!Matches(r, event, item, folder, oldFolder)) continue;
        Queue().push_back({connection, event, item, folder, oldFolder});
        PostMessageA(r.window, kDeliver, 0, 0);
    }
}

HRESULT AdviseStore(const void* owner, const Bytes& store, ULONG cb, LPENTRYID id, ULONG mask, IMAPIAdviseSink* sink,
                    ULONG* connection) {
    if (!sink || !connection || mask == 0) return MAPI_E_INVALID_PARAMETER;
    Lock lock(Mutex());
    World& w = W();
    if (!w.StoreByOpenId(store)) return MAPI_E_OBJECT_DELETED;
    Bytes object;
    if (cb && id) {
        const Bytes named = BytesOf(cb, id);
        if (const FolderRec* f = w.Folder(named); f && f->store == store) object = f->id;
        else if (const ItemRec* i = w.Item(named); i && w.Folder(i->folder) && w.Folder(i->folder)->store == store)
            object = i->id;
        else
            return MAPI_E_NOT_FOUND;
    }
    const HWND window = ThreadWindow();
    if (!window) return MAPI_E_CALL_FAILED;
    sink->AddRef();
    *connection = g_nextConnection++;
    Registrations()[*connection] = Registration{owner, store, object, mask, sink, window};
    return S_OK;
}

HRESULT UnadviseStore(const void* owner, ULONG connection) {
    IMAPIAdviseSink* sink = nullptr;
    {
        Lock lock(Mutex());
        const auto found = Registrations().find(connection);
        if (found == Registrations().end() || found->second.owner != owner) return MAPI_E_NOT_FOUND;
        sink = found->second.sink;
        Registrations().erase(found);
    }
    sink->Release();
    return S_OK;
}

void DropAdvises(const void* owner) {
    std::vector<IMAPIAdviseSink*> sinks;
    {
        Lock lock(Mutex());
        std::erase_if(Registrations(), [&](const auto& entry) {
            if (entry.second.owner != owner) return false;
            sinks.push_back(entry.second.sink);
            return true;
        });
    }
    for (IMAPIAdviseSink* sink : sinks) sink->Release();
}

size_t AdviseCount() {
    Lock lock(Mutex());
    return Registrations().size();
}

} // namespace standin::detail
