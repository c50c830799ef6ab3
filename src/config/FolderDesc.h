#pragma once
// One folder of a folder pair: what identifies it in the profile, the name shown for it, the folder and
// store once opened, and - for a store of the shared-folders product - the store file behind it with the
// file's creation time, so that a reinstall of that product (which recreates the file) can be noticed.
#include <windows.h>
#include <cstdint>
#include <string>

#include "base/Archive.h"
#include "mapi/Binary.h"
#include "mapi/MAPIProps.h"
#include "mapi/Session.h"

class CFolderDesc {
public:
    // Flags for opening the folder's store: MDB_NO_MAIL | MDB_TEMPORARY | MAPI_BEST_ACCESS | MDB_NO_DIALOG.
    static constexpr ULONG kOpenStoreFlags = 0xB1;
    // The folder record is always written in this version; version 1 lacks the store file fields.
    static constexpr int32_t kRecordVersion = 2;

    // Empty identifiers and strings, flags 0, creation time 0, nothing open.
    CFolderDesc() = default;
    // The values the pair dialog has after the user picked a folder; finds the store file when the store
    // entry identifier is one of the shared-folders product's.
    CFolderDesc(const ZxSBinary& folderEntryId, const ZxSBinary& storeEntryId, const std::string& folderName,
                const ZxIMAPIFolder& folder, const ZxIMsgStore& store, int32_t folderFlags);
    virtual ~CFolderDesc() = default;
    CFolderDesc(const CFolderDesc&) = default;
    CFolderDesc& operator=(const CFolderDesc&) = default;
    // Moving takes no memory, so it cannot fail (a copy of the identifiers can).
    CFolderDesc(CFolderDesc&&) noexcept = default;
    CFolderDesc& operator=(CFolderDesc&&) noexcept = default;

    const ZxSBinary& GetFolderEntryId() const { return m_folderEntryId; }
    void SetFolderEntryId(const ZxSBinary& id) { m_folderEntryId = id; }
    const ZxSBinary& GetStoreEntryId() const { return m_storeEntryId; }
    void SetStoreEntryId(const ZxSBinary& id) { m_storeEntryId = id; }
    std::string GetFolderName() const { return m_folderName; }
    void SetFolderName(const std::string& name) { m_folderName = name; }
    int32_t GetFolderFlags() const { return m_folderFlags; }
    void SetFolderFlags(int32_t flags) { m_folderFlags = flags; }
    // Empty until Open succeeded (or the constructor was given an open folder / store).
    const ZxIMAPIFolder& GetFolder() const { return m_folder; }
    void SetFolder(const ZxIMAPIFolder& folder) { m_folder = folder; }
    const ZxIMsgStore& GetStore() const { return m_store; }
    void SetStore(const ZxIMsgStore& store) { m_store = store; }
    // Empty, with time 0, unless the folder's store is a shared-folders store whose file was found.
    const std::string& GetStoreFile() const { return m_storeFile; }
    int64_t GetStoreFileCreationTime() const { return m_storeFileCreationTime; }
    void SetStoreFile(const std::string& path, int64_t creationTime) {
        m_storeFile = path;
        m_storeFileCreationTime = creationTime;
    }

    // The folder record: version 2, folder id, store id, name, flags, store file, creation time.
    void Write(ZxMemoryArchive& archive) const;
    // Replaces every persisted field from a version 1 or 2 record and drops any opened folder and store.
    // A record of any other version leaves the folder empty after reading the version alone. A throw
    // (out of memory) leaves the folder as it was.
    void Read(ZxMemoryArchive& archive);

    // Opens the store (0xB1) and then the folder (MAPI_BEST_ACCESS) when not open yet, and refreshes the
    // folder name from the opened folder's path. False when either stays closed.
    bool Open(ZxIMAPISession session);

    // True when the store file recorded at pair creation is gone, cannot be examined, or was created anew.
    bool IsStoreFileRecreated() const;

private:
    void DetectStoreFile();

    ZxSBinary m_folderEntryId;
    ZxSBinary m_storeEntryId;
    std::string m_folderName;
    int32_t m_folderFlags = 0;
    ZxIMAPIFolder m_folder;
    ZxIMsgStore m_store;
    std::string m_storeFile;
    int64_t m_storeFileCreationTime = 0;
};

// The creation time of a file in whole seconds since 1970-01-01 UTC (its last write time when the file
// system keeps no creation time). False when the path is 260 characters or longer or the file's
// attributes cannot be read. Pair creation and the reinstall check both measure with this.
bool GetFileCreationSeconds(const std::string& path, int64_t& seconds);

// The store file named by a store entry identifier of the shared-folders provider ("ZxBMStore.dll" at
// offset 22, the personal-folders provider id at offset 40, the path from offset 57); empty for any other
// identifier, or when the path does not end within 1023 characters.
std::string GetSharedStoreFilePath(const ZxSBinary& storeEntryId);
