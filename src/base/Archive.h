#pragma once
// The binary encoding of every persisted file: objects are written into a memory buffer that is then
// saved in one piece, or a file is loaded whole and read back from the start.
//
// Every integer is little-endian. Primitives (exact bytes):
//   WriteInt32     i32 4, i32 value                          (8 bytes)
//   WriteFileTime  i32 8, low 32 bits, high 32 bits          (12 bytes)
//   WriteString    byte 0x01, i32 n, n bytes (no terminator)
//   WriteBinary    i32 4, i32 cb, cb bytes
//
// Reading never reads or allocates past the content: a read that does not fit reads nothing, leaves its
// destination unchanged and returns false. The one throw is std::bad_alloc from ReadBinary when the
// bytes of a binary cannot be allocated: the readers of whole files then give up and keep what they had. A collection reader whose count
// promises more elements than the data holds should stop when an element read fails or when
// Remaining() is 0, instead of spinning through the promised count.
#include <windows.h>
#include <cstdint>
#include <string>

#include "base/RefCounted.h"
#include "base/Resource.h"

class ZxMemoryBuffer : public CRefCountedT<FreeThreadedModel> {
public:
    static constexpr uint32_t kGrowthIncrement = 256;

    ZxMemoryBuffer() = default;
    ZxMemoryBuffer(const ZxMemoryBuffer&) = delete;
    ZxMemoryBuffer& operator=(const ZxMemoryBuffer&) = delete;
    ~ZxMemoryBuffer() override;

    // Appends n bytes at the position. Grows by max(n, 256) when position + n reaches the capacity.
    // Throws std::bad_alloc when memory (or the 32-bit size) runs out.
    void WriteRaw(const void* bytes, uint32_t n);
    // Makes room for `capacity` bytes in one step (content and position kept), for a writer that knows
    // what it will write: growing by small steps copies a large content over and over. Throws
    // std::bad_alloc (nothing changed) when there is no memory.
    void Reserve(uint32_t capacity);
    // Copies the next n bytes and advances; when fewer than n remain, copies nothing and returns false.
    bool ReadRaw(void* destination, uint32_t n);
    // Advances over n bytes when that many remain.
    bool Skip(uint32_t n);

    // Replaces the content with the whole file. False (and empty) for a missing, empty or unreadable file.
    bool LoadFromFile(const std::string& path);
    // Writes the content to a file beside `path` and then moves it over `path` (replace, write-through),
    // so a failure never leaves a truncated file: on false the previous file is intact.
    bool SaveToFile(const std::string& path) const;
    void Free();
    // Replaces the content with a copy of n bytes, position at the start (as after LoadFromFile).
    void LoadFromMemory(const void* bytes, uint32_t n);
    // Moves the position back to the start of the content, to read what was written.
    void Rewind() { m_position = m_data; }

    const BYTE* GetData() const { return m_data; }
    uint32_t GetLength() const { return m_length; }
    uint32_t GetCapacity() const { return m_capacity; }
    uint32_t GetPosition() const { return m_data ? static_cast<uint32_t>(m_position - m_data) : 0; }
    // Bytes of content after the position.
    uint32_t Remaining() const { return m_length - GetPosition(); }

private:
    BYTE* m_data = nullptr;
    uint32_t m_capacity = 0;
    uint32_t m_length = 0;
    BYTE* m_position = nullptr;
    uint32_t m_growth = kGrowthIncrement;
};

class ZxMemoryArchive : public ZxMemoryBuffer {
public:
    // --- writers (see the table above) ---
    void WriteInt32(int32_t value);
    void WriteInt32(uint32_t value) { WriteInt32(static_cast<int32_t>(value)); }
    void WriteInt32(long value) { WriteInt32(static_cast<int32_t>(value)); }
    void WriteInt32(unsigned long value) { WriteInt32(static_cast<int32_t>(value)); }
    void WriteFileTime(const FILETIME& value);
    void WriteFileTime(uint64_t value);
    void WriteFileTime(int64_t value) { WriteFileTime(static_cast<uint64_t>(value)); }
    void WriteString(const std::string& value);
    // The bytes of a binary; ZxSBinary's own writer is WriteBinary in mapi/Binary.h.
    void WriteBinary(const void* bytes, uint32_t count);

    // --- readers ---
    // Reads i32 n, then n bytes into the destination. A size that differs from the destination's width
    // is skipped whole (when its bytes are there) and leaves the destination unchanged. True only when
    // the destination was filled.
    bool ReadSized(void* destination, uint32_t width);
    bool ReadSized(int32_t& value) { return ReadSized(&value, sizeof value); }
    bool ReadSized(uint32_t& value) { return ReadSized(&value, sizeof value); }
    bool ReadSized(long& value) { return ReadSized(&value, sizeof value); }
    bool ReadSized(unsigned long& value) { return ReadSized(&value, sizeof value); }
    bool ReadSized(int64_t& value) { return ReadSized(&value, sizeof value); }
    bool ReadSized(uint64_t& value) { return ReadSized(&value, sizeof value); }
    bool ReadSized(FILETIME& value);
    // Marker 0x01, i32 n, n bytes; the string becomes the bytes before the first zero byte. Any other
    // marker consumes only itself. A length of 0 or one larger than what remains leaves the string as it
    // was (readers start from an empty string).
    bool ReadString(std::string& value);
    // Reads the count of a binary: true when it is above 0 and that many bytes follow the position,
    // which then stands at the first of them (the caller copies them and skips them). ZxSBinary's own
    // reader is ReadBinary in mapi/Binary.h.
    bool ReadBinaryCount(uint32_t& count);
};

// One open file; the handle is closed by the destructor or by Close.
class ZxFile {
public:
    ZxFile(const ZxFile&) = delete;
    ZxFile& operator=(const ZxFile&) = delete;

    bool IsOpen() const { return m_handle.is_valid(); }
    void Close() { m_handle.reset(); }

protected:
    explicit ZxFile(HANDLE handle) : m_handle(handle) {}
    ~ZxFile() = default;
    HANDLE Handle() const { return m_handle.get(); }

private:
    zx::unique_hfile m_handle;
};

// One file opened for reading.
class ZxFileRead : public ZxFile {
public:
    ZxFileRead(const std::string& path, DWORD shareMode);

    int64_t GetSize() const; // -1 when not open or unknown
    [[nodiscard]] bool Read(void* buffer, DWORD n, DWORD* read);
};

// One file created (or truncated) for writing.
class ZxFileWrite : public ZxFile {
public:
    ZxFileWrite(const std::string& path, DWORD shareMode);

    [[nodiscard]] bool Write(const void* buffer, DWORD n); // true when all n bytes were written
    [[nodiscard]] bool Flush();
};

// A zero-filled scratch array.
template <class T = BYTE>
class ZxSimpleArrayT : public CRefCountedT<SingleThreadedModel> {
public:
    explicit ZxSimpleArrayT(uint32_t size) : m_data(size ? new T[size]() : nullptr), m_size(size) {}
    ~ZxSimpleArrayT() override { delete[] m_data; }
    ZxSimpleArrayT(const ZxSimpleArrayT&) = delete;
    ZxSimpleArrayT& operator=(const ZxSimpleArrayT&) = delete;

    T* GetData() const { return m_data; }
    uint32_t GetSize() const { return m_size; }
    T& operator[](uint32_t i) const { return m_data[i]; }

private:
    T* m_data;
    uint32_t m_size;
};
