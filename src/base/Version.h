#pragma once
// The module's own file version and dotted version texts (Outlook's version, the log header).
#include <windows.h>
#include <string>
#include <vector>

class CFileVersionInfo {
public:
    // Reads the fixed version record of the module's file; all zero when there is none.
    explicit CFileVersionInfo(HMODULE module);
    virtual ~CFileVersionInfo() = default;
    virtual void Reset();

    // The file version as decimal numbers joined by ".", the first `parts` of four (below 1 counts as 1).
    std::string GetVersionText(int parts) const;
    const VS_FIXEDFILEINFO& GetFixedInfo() const { return m_info; }

private:
    VS_FIXEDFILEINFO m_info;
};

// The numbers of a version text, most significant first.
class CVersionNumber : public std::vector<int> {
public:
    CVersionNumber() = default;
    // Splits at any of `separators`, skips empty pieces, converts each with strtol (base 10; no number: 0).
    CVersionNumber(const char* text, const char* separators);
    virtual ~CVersionNumber() = default;
};
