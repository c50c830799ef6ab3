#include "mapi/Binary.h"

#include "mapi/MAPIModule.h"

#include <cstring>
#include <new>
#include <utility>

ZxSBinary::ZxSBinary(ULONG count, const BYTE* bytes) {
    SBinary source;
    source.cb = count;
    source.lpb = const_cast<BYTE*>(bytes);
    Set(source);
}

ZxSBinary::ZxSBinary(const SBinary& bin) { Set(bin); }

ZxSBinary::ZxSBinary(const ZxSBinary& other) { Set(other.AsSBinary()); }

ZxSBinary::ZxSBinary(ZxSBinary&& other) noexcept
    : cb(std::exchange(other.cb, 0)), lpb(std::exchange(other.lpb, nullptr)) {}

ZxSBinary::~ZxSBinary() { ZxSBinary::Free(); }

void ZxSBinary::Free() {
    if (lpb) ZxMAPIModule::Instance().FreeBuffer(lpb);
    lpb = nullptr;
    cb = 0;
}

ZxSBinary& ZxSBinary::operator=(const ZxSBinary& other) {
    if (this != &other) Set(other.AsSBinary());
    return *this;
}

ZxSBinary& ZxSBinary::operator=(ZxSBinary&& other) noexcept {
    if (this != &other) {
        Free();
        cb = std::exchange(other.cb, 0);
        lpb = std::exchange(other.lpb, nullptr);
    }
    return *this;
}

ZxSBinary& ZxSBinary::operator=(const SBinary& bin) {
    Set(bin);
    return *this;
}

void ZxSBinary::Set(const SBinary& bin) {
    // The source may be our own bytes (an SBinary taken from this value): copy before freeing.
    if (bin.lpb == lpb && bin.cb == cb) return;
    void* fresh = nullptr;
    if (bin.cb != 0 && bin.lpb != nullptr) {
        // An identifier that silently came out empty would be taken for a real one and end up in the
        // caches; running out of memory is a failure, and the value keeps what it held.
        if (FAILED(ZxMAPIModule::Instance().AllocateBuffer(bin.cb, &fresh)) || !fresh) throw std::bad_alloc();
        std::memcpy(fresh, bin.lpb, bin.cb);
    }
    Free();
    if (fresh) {
        lpb = static_cast<BYTE*>(fresh);
        cb = bin.cb;
    }
}

bool ZxSBinary::IsEqual(const ZxSBinary& other) const {
    if (lpb == other.lpb) return true;
    if (!lpb || !other.lpb || cb != other.cb) return false;
    return std::memcmp(lpb, other.lpb, cb) == 0;
}

bool ZxSBinary::IsLess(const ZxSBinary& other) const {
    if (cb != other.cb) return cb < other.cb;
    if (cb == 0 || lpb == other.lpb) return false;
    return std::memcmp(lpb, other.lpb, cb) < 0;
}

std::string ZxSBinary::ToHex() const { return ::ToHex(AsSBinary()); }

std::string ToHex(const SBinary& value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    if (!value.lpb) return text;
    text.reserve(static_cast<size_t>(value.cb) * 2);
    for (ULONG i = 0; i < value.cb; ++i) {
        text += digits[value.lpb[i] >> 4];
        text += digits[value.lpb[i] & 0x0F];
    }
    return text;
}

void WriteBinary(ZxMemoryArchive& archive, const ZxSBinary& value) {
    archive.WriteBinary(value.Data(), value.HasData() ? value.Size() : 0);
}

bool ReadBinary(ZxMemoryArchive& archive, ZxSBinary& value) {
    value.Free();
    uint32_t count = 0;
    if (!archive.ReadBinaryCount(count)) return false;
    SBinary source;
    source.cb = count;
    source.lpb = const_cast<BYTE*>(archive.GetData() + archive.GetPosition());
    value.Set(source);
    archive.Skip(count);
    return true;
}
