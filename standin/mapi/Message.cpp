// IMessage and IAttach. An opened message works on a copy of the item taken when it was opened
// (transacted, as in real stores): changes reach the store at SaveChanges, other open copies
// keep what they saw, and an unsaved new message vanishes when released.
#include "PropObject.h"

#include <algorithm>

namespace standin::detail {
namespace {

bool IsIdentity(ULONG id) {
    return id == PROP_ID(PR_ENTRYID) || id == PROP_ID(PR_RECORD_KEY) || id == PROP_ID(PR_LONGTERM_ENTRYID_FROM_TABLE) ||
           id == PROP_ID(PR_PARENT_ENTRYID) || id == PROP_ID(PR_LAST_MODIFICATION_TIME) ||
           id == PROP_ID(PR_CREATION_TIME) || id == PROP_ID(PR_STORE_ENTRYID) || id == PROP_ID(PR_STORE_RECORD_KEY) ||
           id == PROP_ID(PR_INSTANCE_KEY);
}

bool Lists(LPSPropTagArray tags, ULONG tag) {
    if (!tags) return false;
    for (ULONG k = 0; k < tags->cValues; ++k)
        if (PROP_ID(tags->aulPropTag[k]) == PROP_ID(tag)) return true;
    return false;
}

LONG NumberOf(const Bag& b, ULONG tag) {
    const Value* v = BagFind(b, tag);
    return v && v->type == PT_LONG ? static_cast<LONG>(v->i) : -1;
}

// Rows of one message's subobject table appended to another's, numbered after the rows already there.
// `next` is the lowest number still free (numbers are not reused while a message is open); it moves on.
void AppendNumbered(const std::vector<Bag>& from, ULONG numberTag, std::vector<Bag>& to, LONG& next) {
    for (const Bag& b : to) next = std::max(next, NumberOf(b, numberTag) + 1);
    for (Bag b : from) {
        BagSet(b, numberTag, Value::Long(next++));
        to.push_back(std::move(b));
    }
}

Bag BagOf(ULONG count, LPSPropValue props) {
    Bag b;
    for (ULONG k = 0; k < count; ++k) {
        Value v;
        if (props && PROP_TYPE(props[k].ulPropTag) != PT_ERROR && ToValue(props[k], &v))
            BagSet(b, props[k].ulPropTag, v);
    }
    return b;
}

class Message;

class Attach : public PropObject<IAttach> {
public:
    Attach(Message* parent, LONG num, Bag bag, bool writable);
    ~Attach() override;

protected:
    const char* Iface() const override { return "IAttach"; }
    bool HasInterface(REFIID riid) const override { return IsEqualIID(riid, IID_IAttachment); }
    HRESULT ReadBag(Bag* out) override {
        *out = bag_;
        return S_OK;
    }
    HRESULT WritableBag(Bag** out) override {
        *out = writable_ ? &bag_ : nullptr;
        return writable_ ? S_OK : MAPI_E_NO_ACCESS;
    }
    bool IsComputed(ULONG id) const override { return id == PROP_ID(PR_ATTACH_NUM); }
    HRESULT DoSaveChanges(ULONG) override;

private:
    Message* parent_;
    LONG num_;
    Bag bag_;
    bool writable_;
};

class Message : public PropObject<IMessage> {
public:
    // An existing item.
    Message(const ItemRec& item, bool writable)
        : id_(item.id),
          folder_(item.folder),
          bag_(item.props),
          recipients_(item.recipients),
          attachments_(item.attachments),
          writable_(writable),
          version_(item.version) {
        if (writable_) HoldOpen();
    }
    // A new message in a folder.
    explicit Message(Bytes folder) : folder_(std::move(folder)), writable_(true) {}
    ~Message() override {
        Lock lock(Mutex());
        LetGo();
    }

    STDMETHODIMP GetAttachmentTable(ULONG, LPMAPITABLE* table) override {
        Call call("IMessage::GetAttachmentTable");
        if (call.Failed()) return call.Result();
        if (!table) return MAPI_E_INVALID_PARAMETER;
        *table = NewTable(attachments_, {PR_ATTACH_NUM, PR_INSTANCE_KEY, PR_DISPLAY_NAME_A, PR_ATTACH_LONG_FILENAME_A,
                                         PR_ATTACH_METHOD, PR_ATTACH_SIZE, PR_RENDERING_POSITION});
        return S_OK;
    }

    STDMETHODIMP OpenAttach(ULONG num, LPCIID, ULONG flags, LPATTACH* out) override {
        Call call("IMessage::OpenAttach");
        if (call.Failed()) return call.Result();
        if (!out) return MAPI_E_INVALID_PARAMETER;
        *out = nullptr;
        for (const Bag& b : attachments_) {
            if (NumberOf(b, PR_ATTACH_NUM) == static_cast<LONG>(num)) {
                *out = new Attach(this, static_cast<LONG>(num), b,
                                  writable_ && (flags & (MAPI_MODIFY | MAPI_BEST_ACCESS)) != 0);
                return S_OK;
            }
        }
        return MAPI_E_NOT_FOUND;
    }

    STDMETHODIMP CreateAttach(LPCIID, ULONG, ULONG* num, LPATTACH* out) override {
        Call call("IMessage::CreateAttach");
        if (call.Failed()) return call.Result();
        if (!out || !num) return MAPI_E_INVALID_PARAMETER;
        *out = nullptr;
        if (!writable_) return MAPI_E_NO_ACCESS;
        LONG next = nextAttach_;
        for (const Bag& b : attachments_) next = std::max(next, NumberOf(b, PR_ATTACH_NUM) + 1);
        nextAttach_ = next + 1; // numbers are not reused while the message is open
        Bag bag;
        BagSet(bag, PR_ATTACH_NUM, Value::Long(next));
        *num = static_cast<ULONG>(next);
        *out = new Attach(this, next, bag, true);
        return S_OK;
    }

    STDMETHODIMP DeleteAttach(ULONG num, ULONG, LPMAPIPROGRESS, ULONG) override {
        Call call("IMessage::DeleteAttach");
        if (call.Failed()) return call.Result();
        if (!writable_) return MAPI_E_NO_ACCESS;
        auto it = std::find_if(attachments_.begin(), attachments_.end(),
                               [&](const Bag& b) { return NumberOf(b, PR_ATTACH_NUM) == static_cast<LONG>(num); });
        if (it == attachments_.end()) return MAPI_E_NOT_FOUND;
        nextAttach_ = std::max(nextAttach_, static_cast<LONG>(num) + 1);
        attachments_.erase(it);
        return S_OK;
    }

    STDMETHODIMP GetRecipientTable(ULONG, LPMAPITABLE* table) override {
        Call call("IMessage::GetRecipientTable");
        if (call.Failed()) return call.Result();
        if (!table) return MAPI_E_INVALID_PARAMETER;
        *table = NewTable(recipients_, {PR_ROWID, PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_ADDRTYPE_A,
                                        PR_RECIPIENT_TYPE, PR_ENTRYID, PR_INSTANCE_KEY});
        return S_OK;
    }

    STDMETHODIMP ModifyRecipients(ULONG flags, LPADRLIST mods) override {
        Call call("IMessage::ModifyRecipients");
        if (call.Failed()) return call.Result();
        if (!mods) return MAPI_E_INVALID_PARAMETER;
        if (!writable_) return MAPI_E_NO_ACCESS;
        if (flags == 0) recipients_.clear();
        LONG next = 0;
        for (const Bag& b : recipients_) next = std::max(next, NumberOf(b, PR_ROWID) + 1);
        for (ULONG k = 0; k < mods->cEntries; ++k) {
            Bag entry = BagOf(mods->aEntries[k].cValues, mods->aEntries[k].rgPropVals);
            if (flags == 0 || (flags & MODRECIP_ADD)) {
                BagSet(entry, PR_ROWID, Value::Long(next++));
                recipients_.push_back(entry);
                continue;
            }
            LONG row = NumberOf(entry, PR_ROWID);
            auto it = std::find_if(recipients_.begin(), recipients_.end(),
                                   [&](const Bag& b) { return NumberOf(b, PR_ROWID) == row; });
            if (it == recipients_.end()) return MAPI_E_NOT_FOUND;
            if (flags & MODRECIP_REMOVE) {
                recipients_.erase(it);
            } else {
                *it = entry;
            }
        }
        return S_OK;
    }

    STDMETHODIMP SubmitMessage(ULONG) override { return NoSupport("SubmitMessage"); }
    STDMETHODIMP SetReadFlag(ULONG) override { return NoSupport("SetReadFlag"); }

    void CommitAttach(LONG num, const Bag& bag) {
        Bag saved = bag;
        BagSet(saved, PR_ATTACH_NUM, Value::Long(num));
        for (Bag& b : attachments_) {
            if (NumberOf(b, PR_ATTACH_NUM) == num) {
                b = saved;
                return;
            }
        }
        attachments_.push_back(saved);
    }

protected:
    const char* Iface() const override { return "IMessage"; }
    Bytes StoreOfObject() const override {
        FolderRec* f = W().Folder(folder_);
        return f ? f->store : Bytes();
    }
    bool HasInterface(REFIID riid) const override { return IsEqualIID(riid, IID_IMessage); }
    HRESULT ReadBag(Bag* out) override {
        *out = bag_;
        return S_OK;
    }
    HRESULT WritableBag(Bag** out) override {
        *out = writable_ ? &bag_ : nullptr;
        return writable_ ? S_OK : MAPI_E_NO_ACCESS;
    }
    bool IsComputed(ULONG id) const override {
        return IsIdentity(id) && id != PROP_ID(PR_LAST_MODIFICATION_TIME) && id != PROP_ID(PR_CREATION_TIME);
    }

    HRESULT DoSaveChanges(ULONG flags) override {
        if (!writable_) return MAPI_E_NO_ACCESS;
        World& w = W();
        ItemRec* item = id_.empty() ? nullptr : w.Item(id_);
        if (!id_.empty() && !item) return MAPI_E_OBJECT_DELETED;
        FolderRec* folder = w.Folder(folder_);
        if (!folder) return MAPI_E_OBJECT_DELETED;
        if (!folder->canWrite) return MAPI_E_NO_ACCESS;
        // Someone else saved the item since it was opened: their change is not silently overwritten.
        if (item && item->version != version_ && !(flags & FORCE_SAVE)) return MAPI_E_OBJECT_CHANGED;
        StoreRec* store = w.StoreOfFolder(*folder);
        const bool isNew = !item;
        if (!item) {
            Bag props = bag_;
            props.erase(PROP_ID(PR_LAST_MODIFICATION_TIME)); // the store stamps its own time
            ItemRec* created = CreateItem(*folder, std::move(props), recipients_, attachments_);
            if (!created) return MAPI_E_OBJECT_DELETED;
            id_ = created->id;
            item = created;
        } else {
            // The open copy holds the content; the item's identity stays the store's.
            Bag props = bag_;
            for (ULONG tag : {PR_ENTRYID, PR_RECORD_KEY, PR_PARENT_ENTRYID, PR_CREATION_TIME}) {
                props.erase(PROP_ID(tag));
                if (const Value* v = BagFind(item->props, tag)) BagSet(props, tag, *v);
            }
            BagSet(props, PR_LAST_MODIFICATION_TIME, TimeValueOf(w.Stamp(store)));
            item->props = std::move(props);
            item->recipients = recipients_;
            item->attachments = attachments_;
        }
        ++item->version;
        version_ = item->version;
        bag_ = item->props;
        JournalItem(*item);
        NotifyItem(isNew ? fnevObjectCreated : fnevObjectModified, item->id, item->folder);
        if (store && store->savedPropsOnReopen) {
            // What the save computed is given only by the message opened again (the entry id also after
            // a save that keeps the message open only for reading).
            for (ULONG tag : {PR_LAST_MODIFICATION_TIME, PR_RECORD_KEY, PR_CREATION_TIME}) bag_.erase(PROP_ID(tag));
            if (!(flags & KEEP_OPEN_READONLY)) bag_.erase(PROP_ID(PR_ENTRYID));
        }
        if (flags & KEEP_OPEN_READONLY) {
            LetGo();
            writable_ = false;
        } else {
            HoldOpen();
        }
        return S_OK;
    }

    HRESULT DoCopy(LPSPropTagArray exclude, LPSPropTagArray include, LPCIID iface, LPVOID dest, ULONG flags) override {
        if (iface && !IsEqualIID(*iface, IID_IMessage)) return MAPI_E_INTERFACE_NOT_SUPPORTED;
        if (flags & MAPI_MOVE) return MAPI_E_NO_SUPPORT;
        Message* target = Implementation<Message>(dest);
        if (!target) return MAPI_E_INVALID_PARAMETER;
        if (!target->writable_) return MAPI_E_NO_ACCESS;
        if (target == this) return S_OK;
        const bool targetSaved = !target->id_.empty();
        NamedMap& fromNames = NamedMapOf(StoreOfObject());
        NamedMap& toNames = NamedMapOf(target->StoreOfObject());
        for (const auto& [sourceId, v] : bag_) {
            // A named property keeps its name: the target's store may know it under another id.
            ULONG id = sourceId;
            if (id >= kFirstNamedId && &fromNames != &toNames) {
                if (id - kFirstNamedId >= fromNames.size()) continue; // no name: nothing to copy it as
                id = NamedIdIn(toNames, fromNames[id - kFirstNamedId]);
                if (id == 0) continue;
            }
            ULONG tag = PROP_TAG(v.type, id);
            if (IsIdentity(id) || id == PROP_ID(PR_SEARCH_KEY) || Lists(exclude, tag) || (include && !Lists(include, tag)))
                continue;
            // Read state and the other message flags can be set only before the first save.
            if (targetSaved && id == PROP_ID(PR_MESSAGE_FLAGS)) continue;
            if ((flags & MAPI_NOREPLACE) && target->bag_.count(id)) continue;
            target->bag_[id] = v;
        }
        // Subobjects are copied whole and join the destination's own: a copy onto an existing message
        // adds the source's recipients and attachments to those it had.
        auto wanted = [&](ULONG tag) { return include ? Lists(include, tag) : !Lists(exclude, tag); };
        if (wanted(PR_MESSAGE_RECIPIENTS)) {
            LONG next = 0;
            AppendNumbered(recipients_, PR_ROWID, target->recipients_, next);
        }
        if (wanted(PR_MESSAGE_ATTACHMENTS)) AppendNumbered(attachments_, PR_ATTACH_NUM, target->attachments_, target->nextAttach_);
        return S_OK;
    }

private:
    static HRESULT NoSupport(const char* method) {
        Call call(Member{"IMessage", method});
        if (call.Failed()) return call.Result();
        return MAPI_E_NO_SUPPORT;
    }

    // Counts the message among those open for writing (DeleteMessages leaves such messages alone).
    void HoldOpen() {
        if (holding_ || id_.empty()) return;
        ++W().openForWrite[id_];
        holding_ = true;
    }
    void LetGo() {
        if (!holding_) return;
        holding_ = false;
        auto it = W().openForWrite.find(id_);
        if (it != W().openForWrite.end() && --it->second <= 0) W().openForWrite.erase(it);
    }

    Bytes id_; // empty until the first save
    Bytes folder_;
    Bag bag_;
    std::vector<Bag> recipients_, attachments_;
    bool writable_;
    ULONGLONG version_ = 0; // the item's version this message saw
    bool holding_ = false;
    LONG nextAttach_ = 0;
};

Attach::Attach(Message* parent, LONG num, Bag bag, bool writable)
    : parent_(parent), num_(num), bag_(std::move(bag)), writable_(writable) {
    parent_->AddRef();
}

Attach::~Attach() { parent_->Release(); }

HRESULT Attach::DoSaveChanges(ULONG) {
    if (!writable_) return MAPI_E_NO_ACCESS;
    parent_->CommitAttach(num_, bag_);
    return S_OK;
}

} // namespace

IMessage* NewMessageObject(const Bytes& itemId, bool writable) {
    ItemRec* item = W().Item(itemId);
    return item ? new Message(*item, writable) : nullptr;
}

IMessage* NewUnsavedMessage(const Bytes& folderId) { return new Message(folderId); }

} // namespace standin::detail
