#include "engine/PairJournal.h"

#include <cstring>
#include <map>
#include <utility>

#include "base/Archive.h"
#include "base/Errors.h"
#include "base/LogFile.h"
#include "base/Paths.h"
#include "base/StringTable.h"
#include "engine/CacheRead.h"
#include "resources/StringIds.h"

namespace {

const char kJournalExtension[] = ".journal";

uint32_t Checksum(const BYTE* bytes, uint32_t size) {
    uint32_t hash = 2166136261u;
    for (uint32_t k = 0; k < size; ++k) hash = (hash ^ bytes[k]) * 16777619u;
    return hash;
}

void WriteView(ZxMemoryArchive& archive, const SBinary& value) {
    archive.WriteBinary(value.cb ? value.lpb : nullptr, value.lpb ? value.cb : 0);
}

bool ReadTime(ZxMemoryArchive& archive, FILETIME& time) { return archive.ReadSized(time); }

} // namespace

CPairJournal::CPairJournal(const std::string& cacheFolder, const CRefCountPtr<CFolderCache>& cache1,
                           const CRefCountPtr<CFolderCache>& cache2)
    : m_name1(ZxFsPath(cache1->GetFilePath()).FileName()),
      m_name2(ZxFsPath(cache2->GetFilePath()).FileName()),
      m_cache1(cache1),
      m_cache2(cache2) {
    m_path = (ZxFsPath(cacheFolder) / ((m_name1 < m_name2 ? m_name1 : m_name2) + kJournalExtension)).Str();
}

CPairJournal::~CPairJournal() {
    // What was recorded but not written yet reaches the file, unless the journal was discarded.
    try {
        Flush();
    } catch (...) {
        GetLogFile().LogErrorFormat("Cannot write journal '%s'.", m_path.c_str());
    }
}

bool CPairJournal::Exists() const { return GetFileAttributesA(m_path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int CPairJournal::SideOf(const CFolderCache* source) const { return source == m_cache1.Get() ? 0 : 1; }

std::vector<CPairJournal::PendingCopy> CPairJournal::Replay() {
    std::vector<PendingCopy> pending;
    ZxMemoryArchive file;
    if (!file.LoadFromFile(m_path)) return pending;
    // Sides as the journal's header names them, mapped onto this run's caches by file name.
    CFolderCache* sides[2] = {nullptr, nullptr};
    std::map<std::pair<int, std::string>, PendingCopy> begun;
    const BYTE* data = file.GetData();
    const uint32_t length = file.GetLength();
    uint32_t at = 0;
    while (length - at >= 8) {
        uint32_t size = 0, sum = 0;
        std::memcpy(&size, data + at, 4);
        std::memcpy(&sum, data + at + 4, 4);
        if (size > length - at - 8 || Checksum(data + at + 8, size) != sum) break;
        ZxMemoryArchive record;
        record.LoadFromMemory(data + at + 8, size);
        at += 8 + size;
        int32_t kind = 0;
        if (!record.ReadSized(kind)) break;
        if (kind == kHeader) {
            std::string name0, name1;
            if (!record.ReadString(name0) || !record.ReadString(name1)) break;
            const bool same = name0 == m_name1 && name1 == m_name2;
            const bool swapped = name0 == m_name2 && name1 == m_name1;
            if (!same && !swapped) break; // another pair's journal: nothing of it applies here
            sides[0] = same ? m_cache1.Get() : m_cache2.Get();
            sides[1] = same ? m_cache2.Get() : m_cache1.Get();
            continue;
        }
        if (!sides[0]) break;
        int32_t side = 0;
        std::string pairId;
        if (!record.ReadSized(side) || (side != 0 && side != 1) || !record.ReadString(pairId)) break;
        CFolderCache* source = sides[side];
        CFolderCache* target = sides[1 - side];
        // Sides of this run: 0 when the source is cache 1.
        const int runSide = source == m_cache1.Get() ? 0 : 1;
        if (kind == kDeleted) {
            ZxSBinary sourceRecordKey;
            if (!ReadWholeBinary(record, sourceRecordKey)) break;
            source->RemoveItemByRecordKey(sourceRecordKey);
            source->RemoveByPairId(pairId);
            target->RemoveByPairId(pairId);
            continue;
        }
        PendingCopy copy;
        copy.sourceSide = runSide;
        copy.pairId = pairId;
        if (!ReadWholeBinary(record, copy.sourceEntryId) || !ReadWholeBinary(record, copy.sourceRecordKey) ||
            !ReadTime(record, copy.scannedTime))
            break;
        if (kind == kCopying) {
            begun[{runSide, pairId}] = std::move(copy);
            continue;
        }
        if (kind != kCopied) break;
        ZxSBinary targetEntryId, targetRecordKey;
        FILETIME targetTime{};
        if (!ReadWholeBinary(record, targetEntryId) || !ReadWholeBinary(record, targetRecordKey) ||
            !ReadTime(record, targetTime))
            break;
        begun.erase({runSide, pairId});
        source->MakeRoom(1, copy.sourceEntryId.Size() + copy.sourceRecordKey.Size() + pairId.size());
        source->AddRecord(copy.sourceEntryId.AsSBinary(), copy.sourceRecordKey.AsSBinary(), copy.scannedTime, pairId,
                          false);
        target->MakeRoom(1, targetEntryId.Size() + targetRecordKey.Size() + pairId.size());
        target->AddRecord(targetEntryId.AsSBinary(), targetRecordKey.AsSBinary(), targetTime, pairId, false);
    }
    for (auto& entry : begun) pending.push_back(std::move(entry.second));
    return pending;
}

void CPairJournal::Open() {
    if (m_file) return;
    const bool existed = Exists();
    m_file.reset(CreateFileA(m_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file) ThrowCannotWrite();
    LARGE_INTEGER size{};
    if (existed && GetFileSizeEx(m_file.get(), &size) && size.QuadPart > 0) return;
    ZxMemoryArchive header;
    header.WriteInt32(static_cast<int32_t>(kHeader));
    header.WriteString(m_name1);
    header.WriteString(m_name2);
    Append(header, false);
}

void CPairJournal::Append(const ZxMemoryArchive& payload, bool now) {
    if (!m_file) Open();
    const uint32_t size = payload.GetLength();
    const uint32_t sum = Checksum(payload.GetData(), size);
    const size_t at = m_unwritten.size();
    m_unwritten.resize(at + 8 + size);
    std::memcpy(m_unwritten.data() + at, &size, 4);
    std::memcpy(m_unwritten.data() + at + 4, &sum, 4);
    if (size) std::memcpy(m_unwritten.data() + at + 8, payload.GetData(), size);
    if (now) Flush();
}

void CPairJournal::Flush() {
    if (m_unwritten.empty()) return;
    if (!m_file) Open();
    // One write for what waited: a kill ends the file at a whole record or inside the last one.
    DWORD written = 0;
    const bool ok = WriteFile(m_file.get(), m_unwritten.data(), static_cast<DWORD>(m_unwritten.size()), &written,
                              nullptr) &&
                    written == m_unwritten.size();
    m_unwritten.clear();
    if (!ok) ThrowCannotWrite();
}

void CPairJournal::WriteCopy(ZxMemoryArchive& payload, int32_t kind, int side, const std::string& pairId,
                             const SBinary& sourceEntryId, const SBinary& sourceRecordKey,
                             const FILETIME& scannedTime) {
    payload.WriteInt32(kind);
    payload.WriteInt32(static_cast<int32_t>(side));
    payload.WriteString(pairId);
    WriteView(payload, sourceEntryId);
    WriteView(payload, sourceRecordKey);
    payload.WriteFileTime(scannedTime);
}

void CPairJournal::Copying(const CFolderCache* source, const std::string& pairId, const SBinary& sourceEntryId,
                           const SBinary& sourceRecordKey, const FILETIME& scannedTime) {
    ZxMemoryArchive payload;
    WriteCopy(payload, kCopying, SideOf(source), pairId, sourceEntryId, sourceRecordKey, scannedTime);
    // On the file before the copy exists: the next run looks for a copy only when this record says so.
    Append(payload, true);
}

void CPairJournal::Copied(const CFolderCache* source, const std::string& pairId, const SBinary& sourceEntryId,
                          const SBinary& sourceRecordKey, const FILETIME& scannedTime, const SBinary& targetEntryId,
                          const SBinary& targetRecordKey, const FILETIME& targetTime) {
    ZxMemoryArchive payload;
    WriteCopy(payload, kCopied, SideOf(source), pairId, sourceEntryId, sourceRecordKey, scannedTime);
    WriteView(payload, targetEntryId);
    WriteView(payload, targetRecordKey);
    payload.WriteFileTime(targetTime);
    Append(payload, false);
}

void CPairJournal::Deleted(const CFolderCache* source, const std::string& pairId, const SBinary& sourceRecordKey) {
    ZxMemoryArchive payload;
    payload.WriteInt32(static_cast<int32_t>(kDeleted));
    payload.WriteInt32(static_cast<int32_t>(SideOf(source)));
    payload.WriteString(pairId);
    WriteView(payload, sourceRecordKey);
    Append(payload, false);
}

void CPairJournal::Discard() {
    m_unwritten.clear();
    m_file.reset();
    if (!DeleteFileA(m_path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        GetLogFile().LogErrorFormat("Cannot delete journal '%s'.", m_path.c_str());
}

void CPairJournal::ThrowCannotWrite() const {
    ZX_THROW_TEXT_HERE(ZxFormat(ZxLoadString(IDS_CANNOT_RECORD_STATE).c_str(), m_path.c_str()));
}
