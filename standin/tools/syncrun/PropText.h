#pragma once
// Item properties as a user names and reads them on the command line: "body=Bring the report",
// "start=2026-02-03T10:00", or a raw tag "0x0037001E=...". Values are shown in one stable form so that
// dumps of two folders can be compared line by line.
#include <windows.h>
#include <mapidefs.h>

#include <string>

#include "Standin.h"

namespace syncrun {

// The tag of a property name ("body", "start", ... or "0x" followed by eight hexadecimal digits);
// 0 when the name is unknown.
ULONG TagOfName(const std::string& name);
// The name shown for a tag: the short name when it has one, otherwise "0x" and eight hex digits.
std::string NameOfTag(ULONG tag);
// The names known by their short form, for --help.
std::string KnownNames();

// Parses "name=value" into a tag and a value of the tag's type. An empty value gives a PT_NULL value
// (the property is removed by an edit). False, with `error` set, when the text cannot be understood.
bool ParseAssignment(const std::string& text, ULONG& tag, standin::Value& value, std::string& error);

// A value in its stable text form: strings quoted with C escapes, times as "YYYY-MM-DD HH:MM:SS" (UTC),
// binaries in hexadecimal, multi-values in brackets.
std::string FormatValue(const standin::Value& value);
std::string FormatTime(FILETIME time);

// Properties that name or stamp the stored object rather than describe the item (ids, keys, store
// bookkeeping, creation and modification times): a copy differs from its original in exactly these.
bool IsBookkeepingProp(const standin::Bytes& store, ULONG tag);

} // namespace syncrun
