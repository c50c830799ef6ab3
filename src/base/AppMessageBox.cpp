#include "base/AppMessageBox.h"

#include "base/Errors.h"

int ZxAppMessageBox(const std::string& text, UINT type) {
    return Error::ShowMessageBox(::GetActiveWindow(), text.c_str(), kZxAppName, type);
}

void ZxShowNotices(const std::vector<ZxNotice>& notices) {
    for (const ZxNotice& notice : notices) ZxAppMessageBox(notice.text, MB_OK | notice.icon);
}
