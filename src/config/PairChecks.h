#pragma once
// The checks the pair dialog makes before two folders may form a pair, shared with the console runner:
// both folders must hold the same kind of items, and they must not be the same folder.
#include <string>

// The container class as the check compares it: lower case; no class and IMAP folders count as mail.
std::string GetComparableFolderClass(const std::string& containerClass);

// The name of a comparable class in the mismatch message: the kind's name when the class is exactly a
// kind's class ("Calendar" for "ipf.appointment"), otherwise "Unknown (<class>)".
std::string GetFolderKindText(const std::string& comparableClass);

// Empty when both classes are of one kind; otherwise the message that says which kinds they are.
std::string CheckFolderKinds(const std::string& containerClass1, const std::string& containerClass2);

// The pair dialog tells folders apart by their display paths, whatever their letter case.
bool IsSameFolderText(const std::string& text1, const std::string& text2);
