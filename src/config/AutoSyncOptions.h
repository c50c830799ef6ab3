#pragma once
// When a profile's pairs are synchronized without a click: every so many minutes, soon after Outlook
// starts, and soon after an item changes in a paired folder. Kept per profile in a file of its own
// beside the settings file ("ZxBrackenmeadowSync.autosync"), whose format stays as it is. Everything is
// off until the user turns it on.
#include <string>

class CAutoSyncOptions {
public:
    static constexpr const char* kFileName = "ZxBrackenmeadowSync.autosync";
    static constexpr int kDefaultMinutes = 60;
    static constexpr int kMinMinutes = 1;
    static constexpr int kMaxMinutes = 24 * 60;

    bool interval = false;
    int minutes = kDefaultMinutes;
    bool atStart = false;
    bool afterChange = false;

    bool AnyOn() const { return interval || atStart || afterChange; }
    bool operator==(const CAutoSyncOptions&) const = default;

    // The profile's file path; creates the folder that holds it.
    static std::string FilePath(const std::string& profileName);
    // A missing file gives the defaults (all off). A file that does not read back whole is kept aside
    // with ".damaged", the user is told (log and message box) and the defaults are written in its place.
    static CAutoSyncOptions Load(const std::string& profileName);
    // Replaces the file in one step; a failure is logged and answered false (the old file stays).
    bool Save(const std::string& profileName) const;
};
