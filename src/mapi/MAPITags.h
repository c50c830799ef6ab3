#pragma once
// Property tags the add-in uses that the MinGW-w64 MAPI headers do not carry (they come from the
// Exchange headers); valued as Microsoft publishes them.
#include <mapitags.h>

#ifndef PR_MAILBOX_OWNER_NAME_A
#define PR_MAILBOX_OWNER_NAME_A PROP_TAG(PT_STRING8, 0x661C)
#endif
#ifndef PR_LONGTERM_ENTRYID_FROM_TABLE
#define PR_LONGTERM_ENTRYID_FROM_TABLE PROP_TAG(PT_BINARY, 0x6670)
#endif
#ifndef PR_IPM_PUBLIC_FOLDERS_ENTRYID
#define PR_IPM_PUBLIC_FOLDERS_ENTRYID PROP_TAG(PT_BINARY, 0x6631)
#endif
#ifndef PR_NON_IPM_SUBTREE_ENTRYID
#define PR_NON_IPM_SUBTREE_ENTRYID PROP_TAG(PT_BINARY, 0x6620)
#endif
