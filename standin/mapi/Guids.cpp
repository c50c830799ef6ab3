// The MAPI interface ids, defined once inside the DLL (not exported: clients define their own).
#include <windows.h>
#include <initguid.h>

#define USES_IID_IMAPISession
#define USES_IID_IMAPITable
#define USES_IID_IMAPIProp
#define USES_IID_IProfSect
#define USES_IID_IMsgStore
#define USES_IID_IMessage
#define USES_IID_IAttachment
#define USES_IID_IMAPIContainer
#define USES_IID_IMAPIFolder
#include <mapiguid.h>

#include "Internal.h"

namespace standin::detail {
// {5A58F0A1-6B7E-4C55-9D59-5354414E4449}
const IID IID_IStandinObject = {0x5A58F0A1, 0x6B7E, 0x4C55, {0x9D, 0x59, 0x53, 0x54, 0x41, 0x4E, 0x44, 0x49}};
} // namespace standin::detail
