#pragma once
// A fresh folder under the temporary folder for one test, removed with its content afterwards.
#include <windows.h>
#include <string>
#include <vector>

class TempDir {
public:
    TempDir() {
        char base[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH, base);
        static unsigned counter = 0;
        for (;;) {
            m_path =
                std::string(base) + "zxbase_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
            if (CreateDirectoryA(m_path.c_str(), nullptr)) break;
        }
    }
    ~TempDir() { RemoveTree(m_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

    static void RemoveTree(const std::string& path) {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = data.cFileName;
                if (name == "." || name == "..") continue;
                const std::string child = path + "\\" + name;
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(child);
                else
                    DeleteFileA(child.c_str());
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(path.c_str());
    }

private:
    std::string m_path;
};

// Whole-file helpers for checking bytes on disk.
inline bool ReadWholeFile(const std::string& path, std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char buffer[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, buffer, sizeof buffer, &got, nullptr)) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    return ok;
}

inline bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(h);
    return ok;
}

inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
