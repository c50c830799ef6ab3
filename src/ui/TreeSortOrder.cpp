#include "ui/TreeSortOrder.h"

#include <windows.h>

#include <algorithm>

namespace {

// The tree keeps its texts as wide strings converted from the ANSI code page; compare those.
std::wstring Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

} // namespace

std::vector<size_t> ZxTreeSortOrder(const std::vector<std::string>& texts) {
    std::vector<std::wstring> wide;
    wide.reserve(texts.size());
    for (const std::string& text : texts) wide.push_back(Wide(text));

    std::vector<size_t> order(texts.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return lstrcmpW(wide[a].c_str(), wide[b].c_str()) < 0; });

    // Each insertion stops at the first equal sibling and goes after it: a run of equal texts ends up
    // as its first one followed by the others in reverse.
    for (size_t begin = 0; begin < order.size();) {
        size_t end = begin + 1;
        while (end < order.size() && lstrcmpW(wide[order[begin]].c_str(), wide[order[end]].c_str()) == 0) ++end;
        if (end - begin > 2) std::reverse(order.begin() + static_cast<std::ptrdiff_t>(begin) + 1,
                                          order.begin() + static_cast<std::ptrdiff_t>(end));
        begin = end;
    }
    return order;
}
