#include "config/FolderDesc.h"
#include "base/FileTime.h"

#include <cstring>
#include <utility>

namespace {

// Layout of a store entry identifier of the shared-folders product: the wrapping provider's DLL name at
// offset 22, the personal-folders provider id at offset 40, the store file's path from offset 57.
constexpr size_t kDllNameOffset = 22;
constexpr char kSharedStoreDll[] = "ZxBMStore.dll";
constexpr size_t kDllNameLength = sizeof kSharedStoreDll - 1;
constexpr size_t kProviderOffset = 40;
constexpr BYTE kPersonalFoldersProvider[16] = {0x4E, 0x49, 0x54, 0x41, 0xF9, 0xBF, 0xB8, 0x01,
                                               0x00, 0xAA, 0x00, 0x37, 0xD9, 0x6E, 0x00, 0x00};
constexpr size_t kPathOffset = 57;
constexpr size_t kPathBufferSize = 1024;

// FILETIME of 1970-01-01 00:00 UTC.
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;
constexpr int64_t kFileTimeTicksPerSecond = 10000000LL;

} // namespace

bool GetFileCreationSeconds(const std::string& path, int64_t& seconds) {
    // The ANSI file functions stop at MAX_PATH; keep that limit everywhere so that a long path is judged
    // the same on every system.
    if (path.empty() || path.size() >= MAX_PATH) return false;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    int64_t time = static_cast<int64_t>(TimeValue(data.ftCreationTime));
    if (time == 0) time = static_cast<int64_t>(TimeValue(data.ftLastWriteTime));
    seconds = (time - kUnixEpochAsFileTime) / kFileTimeTicksPerSecond;
    return true;
}

std::string GetSharedStoreFilePath(const ZxSBinary& storeEntryId) {
    const BYTE* id = storeEntryId.Data();
    const size_t n = storeEntryId.Size();
    if (!id || n <= kPathOffset) return std::string();
    if (std::memcmp(id + kProviderOffset, kPersonalFoldersProvider, sizeof kPersonalFoldersProvider) != 0)
        return std::string();
    if (std::memcmp(id + kDllNameOffset, kSharedStoreDll, kDllNameLength) != 0) return std::string();

    // The path is held in a buffer of 1024 bytes: at most 1023 characters and their terminator.
    char buffer[kPathBufferSize] = {};
    const size_t available = n - kPathOffset;
    const size_t copied = available < kPathBufferSize ? available : kPathBufferSize;
    std::memcpy(buffer, id + kPathOffset, copied);
    const size_t length = strnlen(buffer, copied);
    // A path that runs on past the buffer without its terminator is not one we can trust: cut short, it
    // could name some other file.
    if (length == kPathBufferSize) return std::string();
    return std::string(buffer, length);
}

CFolderDesc::CFolderDesc(const ZxSBinary& folderEntryId, const ZxSBinary& storeEntryId, const std::string& folderName,
                         const ZxIMAPIFolder& folder, const ZxIMsgStore& store, int32_t folderFlags)
    : m_folderEntryId(folderEntryId),
      m_storeEntryId(storeEntryId),
      m_folderName(folderName),
      m_folderFlags(folderFlags),
      m_folder(folder),
      m_store(store) {
    DetectStoreFile();
}

void CFolderDesc::DetectStoreFile() {
    const std::string path = GetSharedStoreFilePath(m_storeEntryId);
    int64_t created = 0;
    if (path.empty() || !GetFileCreationSeconds(path, created)) return;
    m_storeFile = path;
    m_storeFileCreationTime = created;
}

void CFolderDesc::Write(ZxMemoryArchive& archive) const {
    archive.WriteInt32(kRecordVersion);
    WriteBinary(archive, m_folderEntryId);
    WriteBinary(archive, m_storeEntryId);
    archive.WriteString(m_folderName);
    archive.WriteInt32(m_folderFlags);
    archive.WriteString(m_storeFile);
    archive.WriteFileTime(m_storeFileCreationTime);
}

void CFolderDesc::Read(ZxMemoryArchive& archive) {
    // Read into values of our own first: a read that throws (out of memory) leaves the folder as it was.
    int32_t version = 0;
    ZxSBinary folderEntryId;
    ZxSBinary storeEntryId;
    std::string folderName;
    int32_t folderFlags = 0;
    std::string storeFile;
    int64_t storeFileCreationTime = 0;
    archive.ReadSized(version);
    if (version == 1 || version == 2) {
        ReadBinary(archive, folderEntryId);
        ReadBinary(archive, storeEntryId);
        archive.ReadString(folderName);
        archive.ReadSized(folderFlags);
        if (version == 2) {
            archive.ReadString(storeFile);
            archive.ReadSized(storeFileCreationTime);
        }
    }
    m_folderEntryId = std::move(folderEntryId);
    m_storeEntryId = std::move(storeEntryId);
    m_folderName = std::move(folderName);
    m_folderFlags = folderFlags;
    m_storeFile = std::move(storeFile);
    m_storeFileCreationTime = storeFileCreationTime;
    m_folder.Reset();
    m_store.Reset();
}

bool CFolderDesc::Open(ZxIMAPISession session) {
    if (!m_store) {
        ZxIMsgStore store;
        if (SUCCEEDED(session.OpenMsgStore(m_storeEntryId, store, kOpenStoreFlags))) m_store = store;
    }
    if (!m_store) return false;
    if (!m_folder) {
        ZxIMAPIFolder folder;
        if (SUCCEEDED(m_store.OpenEntry(m_folderEntryId, folder, MAPI_BEST_ACCESS))) m_folder = folder;
    }
    if (!m_folder) return false;
    m_folderName = m_folder.GetFolderPath(m_store.Get(), '\\');
    return true;
}

bool CFolderDesc::IsStoreFileRecreated() const {
    if (m_storeFile.empty() || m_storeFileCreationTime == 0) return false;
    int64_t created = 0;
    if (!GetFileCreationSeconds(m_storeFile, created)) return true;
    return created != m_storeFileCreationTime;
}
