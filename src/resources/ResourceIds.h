#pragma once
// Numbers of the add-in's dialogs, controls and pictures, and of what it uses from the shared
// resource libraries "ZxRes.dll" and "ZxResEN.dll". This is their one home: the scripts and the code
// name them from here.

// The progress window.
#define IDD_SYNCHRO 5002
#define IDC_SYNCHRO_REPORT 5008
#define IDC_SYNCHRO_PROGRESS 5012
#define IDC_SYNCHRO_HEADER 5017

// The pair dialog "New synchronized group".
#define IDD_PAIR_DIALOG 5001
#define IDC_PAIR_FOLDER1 5004
#define IDC_PAIR_FOLDER2 5005
#define IDC_PAIR_BROWSE1 5006
#define IDC_PAIR_BROWSE2 5007
#define IDC_PAIR_NOTE_ICON 5009
#define IDC_PAIR_NOTE 5015

// The options page, on the add-in's own sheet and inside Outlook's Options dialog; both templates carry
// the same controls.
#define IDD_OPTIONS_SHEET_PAGE 107
#define IDD_OUTLOOK_OPTIONS_PAGE 5055
#define IDC_OPTIONS_LIST 5000
#define IDC_OPTIONS_ADD 5001
#define IDC_OPTIONS_REMOVE 5002
#define IDC_OPTIONS_VERSION 5010
#define IDC_OPTIONS_LOG_FILE 5011
#define IDC_OPTIONS_HOME_LINK 5013
#define IDC_OPTIONS_HEADER 5016
#define IDC_OPTIONS_VERSION_LABEL 5019
#define IDC_OPTIONS_SHARED_FOLDERS_LINK 5020
#define IDC_OPTIONS_FREE_TOOLS_LINK 5021

// Automatic synchronization: its options page, its notice and the report the notice opens.
#define IDD_AUTOSYNC_PAGE 5230
#define IDC_AUTOSYNC_INTERVAL 5231
#define IDC_AUTOSYNC_MINUTES 5232
#define IDC_AUTOSYNC_AT_START 5233
#define IDC_AUTOSYNC_AFTER_CHANGE 5234
#define IDD_AUTOSYNC_NOTICE 5240
#define IDC_AUTOSYNC_NOTICE_TEXT 5241
#define IDC_AUTOSYNC_SHOW_REPORT 5242
#define IDD_AUTOSYNC_REPORT 5245
#define IDC_AUTOSYNC_REPORT 5246

// The module's type libraries: its own (registered) and the Office interfaces it implements (private).
#define IDR_TYPELIB_ADDIN 1
#define IDR_TYPELIB_HOST 2

// The ribbon markup Outlook asks for (resource type "XML").
#define IDR_RIBBON_MARKUP 5014

// The module's own pictures.
#define IDB_TOOLBAR_SYNC 5000
#define IDB_OPTIONS_HEADER 5011
#define IDB_SYNCHRO_HEADER 5012
#define IDI_SYNCHRO_SMALL 5011
#define IDI_SYNC_BUTTON 5016
// The header pictures drawn larger for display scaling of 125, 150 and 200 %: +100, +200, +300.
#define IDB_OPTIONS_HEADER_125 5111
#define IDB_OPTIONS_HEADER_150 5211
#define IDB_OPTIONS_HEADER_200 5311
#define IDB_SYNCHRO_HEADER_125 5112
#define IDB_SYNCHRO_HEADER_150 5212
#define IDB_SYNCHRO_HEADER_200 5312

// The shared resource libraries.
#define IDD_FOLDER_PICKER 103
#define IDC_FOLDER_TREE 1001
#define IDI_PAIR_INFORMATION 137
#define IDS_PICKER_STORE_CHOSEN 164
#define IDS_PICKER_PUBLIC_ROOT_CHOSEN 165
// The folder image set.
#define IDB_FOLDER_DEFAULT_STORE 101
#define IDB_FOLDER_STORE 102
#define IDB_FOLDER_CALENDAR 104
#define IDB_FOLDER_CONTACTS 105
#define IDB_FOLDER_SENT_ITEMS 106
#define IDB_FOLDER_DRAFTS 107
#define IDB_FOLDER_INBOX 108
#define IDB_FOLDER_JOURNAL 109
#define IDB_FOLDER_PUBLIC 110
#define IDB_FOLDER_NOTE 111
#define IDB_FOLDER_OUTBOX 112
#define IDB_FOLDER_DELETED_ITEMS 113
#define IDB_FOLDER_MAIL 114
#define IDB_FOLDER_TASK 115
#define IDB_FOLDER_SEARCH 116
