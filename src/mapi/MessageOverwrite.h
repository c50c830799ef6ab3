#pragma once
// Making a saved message an exact copy of another. IMAPIProp::CopyTo onto an existing message only adds:
// properties the destination has and the source lacks stay, and the source's attachments and recipients
// join the destination's. The counterpart is therefore first emptied of what the copy would not replace.
#include <windows.h>
#include <mapix.h>

#include "mapi/MAPIProps.h"

// Whether a property is the message's own bookkeeping in its store rather than content a user sees:
// identity, times, size, read state and other flags, and the provider's internal properties. Such
// properties stay the target's own; a copy neither removes nor (where the store computes them) writes them.
bool ZxIsPerCopyProperty(ULONG tag);

// Removes from `target` every user-visible property that `source` lacks (named properties matched by
// their names, each store keeping its own ids for them), and all of its attachments and recipients, so
// that a CopyTo from `source` that follows leaves an exact copy. Nothing is saved. The first failing
// call's result is returned; the target is then half-emptied in memory and must not be saved.
[[nodiscard]] HRESULT ZxClearForOverwrite(const ZxIMessage& source, const ZxIMessage& target);
