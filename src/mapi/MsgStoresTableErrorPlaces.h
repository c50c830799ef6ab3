#pragma once
// The error table of the message stores table: the places (module, function, line) that users quote
// from the log for its failures, one row per failure, in the order of the table. They are fixed; the
// lines of MsgStoresTable.cpp and MsgStoresTableFromProfile.cpp are not.
#include "base/Errors.h"

namespace MsgStoresTableErrorPlaces {

// CMsgStoresTableFromProfile::Create: GetMsgStoresTable fails or gives no table.
inline constexpr Error::ZxFixedPlace kNoStoresTable{"MsgStoresTableFromProfile", "CMsgStoresTableFromProfile::Create", 22};
// CMsgStoresTableFromProfile::Create: SetColumns fails.
inline constexpr Error::ZxFixedPlace kSetColumnsFailed{"MsgStoresTableFromProfile", "CMsgStoresTableFromProfile::Create",
                                                       26};
// CMsgStoresTable::GetRowCount with no table (no function given).
inline constexpr Error::ZxFixedPlace kRowCountWithoutTable{"MsgStoresTable", nullptr, 16};
// CMsgStoresTable::Seek with no table (no function given).
inline constexpr Error::ZxFixedPlace kSeekWithoutTable{"MsgStoresTable", nullptr, 26};
// CMsgStoresTable::Seek: SeekRow fails.
inline constexpr Error::ZxFixedPlace kSeekRowFailed{"MsgStoresTable", "CMsgStoresTable::Seek", 32};
// CMsgStoresTable::Seek: QueryRows fails or gives no row set.
inline constexpr Error::ZxFixedPlace kQueryRowsFailed{"MsgStoresTable", "CMsgStoresTable::Seek", 34};

} // namespace MsgStoresTableErrorPlaces
