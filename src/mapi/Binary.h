#pragma once
#include <windows.h>
#include <mapix.h>
#include <string>

#include "base/Archive.h"

// An owned byte string; its bytes come from ZxMAPIModule. Key of every map of items and folders.
// Every copy (construction, assignment, Set) of a non-empty source throws std::bad_alloc when its bytes
// cannot be allocated, and then leaves the value as it was: never a silently empty identifier.
class ZxSBinary {
public:
    ZxSBinary() = default;
    ZxSBinary(ULONG cb, const BYTE* lpb);
    explicit ZxSBinary(const SBinary& bin);
    ZxSBinary(const ZxSBinary& other);
    ZxSBinary(ZxSBinary&& other) noexcept;
    virtual ~ZxSBinary();
    virtual void Free();

    ZxSBinary& operator=(const ZxSBinary& other);
    ZxSBinary& operator=(ZxSBinary&& other) noexcept;
    ZxSBinary& operator=(const SBinary& bin);

    void Set(const SBinary& bin);
    bool HasData() const { return cb != 0 && lpb != nullptr; }
    bool IsEqual(const ZxSBinary& other) const;
    bool IsLess(const ZxSBinary& other) const;
    std::string ToHex() const;

    ULONG Size() const { return cb; }
    const BYTE* Data() const { return lpb; }
    SBinary AsSBinary() const {
        SBinary b;
        b.cb = cb;
        b.lpb = lpb;
        return b;
    }
    ENTRYID* AsEntryId() const { return reinterpret_cast<ENTRYID*>(lpb); }

    bool operator==(const ZxSBinary& o) const { return IsEqual(o); }
    bool operator<(const ZxSBinary& o) const { return IsLess(o); }

private:
    ULONG cb = 0;
    BYTE* lpb = nullptr;
};

// The bytes as upper-case hex digits, two a byte; empty for no bytes.
std::string ToHex(const SBinary& value);

// A binary in the archive encoding (WriteBinary: i32 4, i32 cb, cb bytes); an empty binary writes count 0.
void WriteBinary(ZxMemoryArchive& archive, const ZxSBinary& value);
// Empties the binary, reads its count; the bytes are allocated through ZxMAPIModule only when they are all
// there (else the binary stays empty and nothing is allocated). When the allocation fails it throws
// std::bad_alloc; the binary is empty then.
bool ReadBinary(ZxMemoryArchive& archive, ZxSBinary& value);
