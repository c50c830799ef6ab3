#include "ui/ImageList.h"

ZxImageList::ZxImageList(const std::vector<std::string>& names) : m_module(new ZxResourceModule(names)) {
    CreateList();
}

ZxImageList::ZxImageList(CRefCountPtr<ZxResourceModule> module) : m_module(std::move(module)) { CreateList(); }

void ZxImageList::CreateList() {
    m_list.reset(ImageList_Create(16, 16, ILC_MASK | ILC_COLOR24, 0, 4));
    m_createFailed = !m_list;
}

bool ZxImageList::LoadImageSet() {
    if (m_createFailed || !m_module) return false;
    static const unsigned kSet[] = {114, 104, 105, 106, 107, 108, 109, 110, 111, 112, 116, 113, 115, 102, 101};
    bool all = true;
    for (unsigned number : kSet) all = AddBitmap(number) && all;
    return all;
}

bool ZxImageList::AddBitmap(unsigned number) {
    if (m_indices.count(number)) return true;
    if (m_createFailed || !m_module) return false;
    const zx::unique_hbitmap bitmap(m_module->LoadBitmapById(number));
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
