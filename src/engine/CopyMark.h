#pragma once
// The mark a new copy carries from the moment it is saved: the pair identifier it was made for, in a
// named property of the add-in's own property set, which Outlook neither shows nor copies anywhere on
// its own account. With the journal's record of a copy that was begun (engine/PairJournal), it lets the
// next run recognise a copy saved just before a kill, which it would otherwise take for a new item.
// The mark never travels further with the engine's copies: a new copy is marked afresh with its own
// pair identifier, and a counterpart that is overwritten loses whatever mark the copy brought.
#include <windows.h>
#include <mapix.h>
#include <string>

#include "mapi/MAPIProps.h"

class CCopyMark {
public:
    // The add-in's own property set; the mark is its string name "CopyForPair".
    static const GUID kPropertySet;

    // Resolves the mark's tag in the store of `folder`; `create` adds the name to a store that does not
    // know it yet. A store that cannot resolve it leaves the mark unknown.
    CCopyMark(const ZxIMAPIFolder& folder, bool create);

    // Whether the store knows the mark (only then can a message carry it).
    bool IsKnown() const { return m_tag != PR_NULL; }
    ULONG GetTag() const { return m_tag; }
    // The result of resolving the tag (a failure when the mark is unknown).
    HRESULT GetResolveResult() const { return m_resolved; }

    // Marks a message as the copy made for `pairId` (before it is saved).
    HRESULT Set(const ZxIMessage& message, const std::string& pairId) const;
    // Removes the mark from a message (before it is saved); nothing to remove is no failure.
    HRESULT Clear(const ZxIMessage& message) const;
    // The pair identifier a message is marked with; empty when it carries no mark.
    std::string Read(const ZxIMessage& message) const;

private:
    ULONG m_tag = PR_NULL;
    HRESULT m_resolved = MAPI_E_NOT_FOUND;
};
