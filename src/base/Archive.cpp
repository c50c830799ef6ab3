#include "base/Archive.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

// ---- ZxMemoryBuffer -------------------------------------------------------------------------------

ZxMemoryBuffer::~ZxMemoryBuffer() { Free(); }

void ZxMemoryBuffer::Free() {
    std::free(m_data);
    m_data = nullptr;
    m_position = nullptr;
    m_capacity = 0;
    m_length = 0;
}

void ZxMemoryBuffer::WriteRaw(const void* bytes, uint32_t n) {
    const uint32_t offset = GetPosition();
    if (static_cast<uint64_t>(offset) + n >= m_capacity) {
        const uint64_t grown = static_cast<uint64_t>(m_capacity) + std::max(n, m_growth);
        if (grown > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
        BYTE* storage = static_cast<BYTE*>(std::realloc(m_data, static_cast<size_t>(grown)));
        if (!storage) throw std::bad_alloc();
        m_data = storage;
        m_capacity = static_cast<uint32_t>(grown);
        m_position = m_data + offset;
    }
    if (n) std::memcpy(m_position, bytes, n);
    m_position += n;
    if (GetPosition() > m_length) m_length = GetPosition();
}

void ZxMemoryBuffer::Reserve(uint32_t capacity) {
    if (capacity <= m_capacity) return;
    const uint32_t offset = GetPosition();
    BYTE* storage = static_cast<BYTE*>(std::realloc(m_data, capacity));
    if (!storage) throw std::bad_alloc();
    m_data = storage;
    m_capacity = capacity;
    m_position = m_data + offset;
}

bool ZxMemoryBuffer::ReadRaw(void* destination, uint32_t n) {
    if (n > Remaining()) return false;
    if (n) std::memcpy(destination, m_position, n);
    m_position += n;
    return true;
}

bool ZxMemoryBuffer::Skip(uint32_t n) {
    if (n > Remaining()) return false;
    m_position += n;
    return true;
}

void ZxMemoryBuffer::LoadFromMemory(const void* bytes, uint32_t n) {
    BYTE* storage = nullptr;
    if (n) {
        storage = static_cast<BYTE*>(std::malloc(n));
        if (!storage) throw std::bad_alloc();
        std::memcpy(storage, bytes, n); // before Free: the bytes may be this buffer's own
    }
    Free();
    if (!storage) return;
    m_data = m_position = storage;
    m_capacity = m_length = n;
}

bool ZxMemoryBuffer::LoadFromFile(const std::string& path) {
    Free();
    ZxFileRead file(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!file.IsOpen()) return false;
    const int64_t size = file.GetSize();
    if (size <= 0 || size > std::numeric_limits<uint32_t>::max()) return false;
    BYTE* storage = static_cast<BYTE*>(std::malloc(static_cast<size_t>(size)));
    if (!storage) return false;
    m_data = storage;
    m_capacity = m_length = static_cast<uint32_t>(size);
    m_position = m_data;
    DWORD read = 0;
    if (!file.Read(m_data, m_length, &read) || read != m_length) {
        Free();
        return false;
    }
    return true;
}

bool ZxMemoryBuffer::SaveToFile(const std::string& path) const {
    // Replacing by a move would bypass a read-only target; writing in place never could, so refuse it.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    const std::string temporary = path + ".tmp";
    {
        ZxFileWrite file(temporary, FILE_SHARE_READ);
        if (!file.IsOpen()) return false;
        const bool written = (m_length == 0 || file.Write(m_data, m_length)) && file.Flush();
        file.Close();
        if (!written) {
            DeleteFileA(temporary.c_str());
            return false;
        }
    }
    if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

// ---- ZxMemoryArchive ------------------------------------------------------------------------------

namespace {
void PutLE32(BYTE* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<BYTE>(v >> (8 * i));
}
uint32_t GetLE32(const BYTE* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 | static_cast<uint32_t>(in[2]) << 16 |
           static_cast<uint32_t>(in[3]) << 24;
}
} // namespace

void ZxMemoryArchive::WriteInt32(int32_t value) {
    BYTE bytes[8];
    PutLE32(bytes, 4);
    PutLE32(bytes + 4, static_cast<uint32_t>(value));
    WriteRaw(bytes, sizeof bytes);
}

void ZxMemoryArchive::WriteFileTime(const FILETIME& value) {
    BYTE bytes[12];
    PutLE32(bytes, 8);
    PutLE32(bytes + 4, value.dwLowDateTime);
    PutLE32(bytes + 8, value.dwHighDateTime);
    WriteRaw(bytes, sizeof bytes);
}

void ZxMemoryArchive::WriteFileTime(uint64_t value) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
    WriteFileTime(ft);
}

void ZxMemoryArchive::WriteString(const std::string& value) {
    if (value.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) throw std::bad_alloc();
    BYTE head[5];
    head[0] = 0x01;
    PutLE32(head + 1, static_cast<uint32_t>(value.size()));
    WriteRaw(head, sizeof head);
    WriteRaw(value.data(), static_cast<uint32_t>(value.size()));
}

void ZxMemoryArchive::WriteBinary(const void* bytes, uint32_t count) {
    if (!bytes) count = 0;
    WriteInt32(count);
    if (count) WriteRaw(bytes, count);
}

bool ZxMemoryArchive::ReadSized(void* destination, uint32_t width) {
    BYTE prefix[4];
    if (!ReadRaw(prefix, sizeof prefix)) return false;
    const int32_t n = static_cast<int32_t>(GetLE32(prefix));
    if (n <= 0) return false;
    if (static_cast<uint32_t>(n) != width) {
        // Not this destination's width: step over the value so the next field still lines up.
        Skip(static_cast<uint32_t>(n));
        return false;
    }
    return ReadRaw(destination, width);
}

bool ZxMemoryArchive::ReadSized(FILETIME& value) {
    BYTE bytes[8];
    if (!ReadSized(bytes, sizeof bytes)) return false;
    value.dwLowDateTime = GetLE32(bytes);
    value.dwHighDateTime = GetLE32(bytes + 4);
    return true;
}

bool ZxMemoryArchive::ReadString(std::string& value) {
    BYTE marker = 0;
    if (!ReadRaw(&marker, 1) || marker != 0x01) return false;
    BYTE prefix[4];
    if (!ReadRaw(prefix, sizeof prefix)) return false;
    const int32_t n = static_cast<int32_t>(GetLE32(prefix));
    if (n == 0) return true; // the empty string: the value is left as it is
    if (n < 0) return false;
    if (static_cast<uint32_t>(n) > Remaining()) return false;
    const char* bytes = reinterpret_cast<const char*>(GetData() + GetPosition());
    value.assign(bytes, strnlen(bytes, static_cast<size_t>(n)));
    Skip(static_cast<uint32_t>(n));
    return true;
}

bool ZxMemoryArchive::ReadBinaryCount(uint32_t& count) {
    count = 0;
    if (!ReadSized(count) || count == 0) return false;
    return count <= Remaining();
}

// ---- files ----------------------------------------------------------------------------------------

ZxFileRead::ZxFileRead(const std::string& path, DWORD shareMode)
    : ZxFile(CreateFileA(path.c_str(), GENERIC_READ, shareMode, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

int64_t ZxFileRead::GetSize() const {
    LARGE_INTEGER size;
    if (!IsOpen() || !GetFileSizeEx(Handle(), &size)) return -1;
    return size.QuadPart;
}

bool ZxFileRead::Read(void* buffer, DWORD n, DWORD* read) {
    DWORD got = 0;
    const bool ok = IsOpen() && ReadFile(Handle(), buffer, n, &got, nullptr);
    if (read) *read = got;
    return ok;
}

ZxFileWrite::ZxFileWrite(const std::string& path, DWORD shareMode)
    : ZxFile(CreateFileA(path.c_str(), GENERIC_WRITE, shareMode, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr)) {}

bool ZxFileWrite::Write(const void* buffer, DWORD n) {
    DWORD written = 0;
    return IsOpen() && WriteFile(Handle(), buffer, n, &written, nullptr) && written == n;
}

bool ZxFileWrite::Flush() { return IsOpen() && FlushFileBuffers(Handle()); }
