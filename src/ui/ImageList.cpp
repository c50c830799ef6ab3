#include "ui/ImageList.h"

#include "resources/ResourceIds.h"
#include "ui/Dpi.h"

ZxImageList::ZxImageList(const std::vector<std::string>& names)
    : m_module(new ZxResourceModule(names)), m_size(ImageSizeForDpi(ZxGetScreenDpi())) {
    CreateList();
}

ZxImageList::ZxImageList(CRefCountPtr<ZxResourceModule> module)
    : m_module(std::move(module)), m_size(ImageSizeForDpi(ZxGetScreenDpi())) {
    CreateList();
}

void ZxImageList::CreateList() {
    m_list.reset(ImageList_Create(m_size, m_size, ILC_MASK | ILC_COLOR24, 0, 4));
    m_createFailed = !m_list;
}

int ZxImageList::ImageSizeForDpi(UINT dpi) {
    const int ideal = ZxScale(16, dpi);
    int size = 16;
    for (int candidate : {20, 24, 32})
        if (candidate <= ideal) size = candidate;
    return size;
}

unsigned ZxImageList::SizedBitmapNumber(unsigned number, int size) {
    return size == 16 ? number : static_cast<unsigned>(size) * 100 + number - 100;
}

void ZxImageList::SetDpi(UINT dpi) {
    const int size = ImageSizeForDpi(dpi);
    if (size == m_size) return;
    m_size = size;
    // Added again in index order, so every number keeps its index.
    std::vector<unsigned> byIndex(m_indices.size());
    for (const auto& [number, index] : m_indices) byIndex[static_cast<size_t>(index)] = number;
    m_indices.clear();
    CreateList();
    for (unsigned number : byIndex) AddBitmap(number);
}

bool ZxImageList::LoadImageSet() {
    if (m_createFailed || !m_module) return false;
    static const unsigned kSet[] = {
        IDB_FOLDER_MAIL,   IDB_FOLDER_CALENDAR,       IDB_FOLDER_CONTACTS, IDB_FOLDER_SENT_ITEMS, IDB_FOLDER_DRAFTS,
        IDB_FOLDER_INBOX,  IDB_FOLDER_JOURNAL,        IDB_FOLDER_PUBLIC,   IDB_FOLDER_NOTE,       IDB_FOLDER_OUTBOX,
        IDB_FOLDER_SEARCH, IDB_FOLDER_DELETED_ITEMS, IDB_FOLDER_TASK,     IDB_FOLDER_STORE,      IDB_FOLDER_DEFAULT_STORE,
    };
    bool all = true;
    for (unsigned number : kSet) all = AddBitmap(number) && all;
    return all;
}

HBITMAP ZxImageList::LoadSized(unsigned number) const {
    if (m_size != 16)
        if (HBITMAP sized = m_module->LoadBitmapById(SizedBitmapNumber(number, m_size))) return sized;
    zx::unique_hbitmap small(m_module->LoadBitmapById(number));
    if (!small || m_size == 16) return small.release();
    // A library without the larger drawings: its picture stretched, the key colour kept exact.
    BITMAP info{};
    if (GetObjectA(small.get(), sizeof info, &info) != sizeof info || info.bmWidth <= 0) return nullptr;
    const zx::unique_window_dc screen(nullptr);
    zx::unique_hbitmap stretched(CreateCompatibleBitmap(screen.get(), m_size, m_size));
    const zx::unique_hdc from(CreateCompatibleDC(screen.get())), to(CreateCompatibleDC(screen.get()));
    if (!stretched || !from || !to) return nullptr;
    {
        const zx::select_object_scope fromBitmap(from.get(), small.get());
        const zx::select_object_scope toBitmap(to.get(), stretched.get());
        SetStretchBltMode(to.get(), COLORONCOLOR);
        StretchBlt(to.get(), 0, 0, m_size, m_size, from.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    }
    return stretched.release();
}

bool ZxImageList::AddBitmap(unsigned number) {
    if (m_indices.count(number)) return true;
    if (m_createFailed || !m_module) return false;
    const zx::unique_hbitmap bitmap(LoadSized(number));
    if (!bitmap) return false;
    const int index = ImageList_AddMasked(m_list.get(), bitmap.get(), m_transparent);
    if (index < 0) return false;
    m_indices[number] = index;
    return true;
}

int ZxImageList::GetImageIndex(unsigned number) const {
    const auto found = m_indices.find(number);
    return found == m_indices.end() ? -1 : found->second;
}
