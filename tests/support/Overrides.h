#pragma once
// Scopes that put the add-in's one data folder and one log somewhere of the test's choosing and put
// them back afterwards (the seams SetAddinDataFolderOverride and SetLogFileOverride).
#include <string>
#include <utility>

#include "base/LogFile.h"
#include "base/Paths.h"

class DataFolderOverride {
public:
    explicit DataFolderOverride(std::string folder) : m_previous(SetAddinDataFolderOverride(std::move(folder))) {}
    ~DataFolderOverride() { SetAddinDataFolderOverride(m_previous); }
    DataFolderOverride(const DataFolderOverride&) = delete;
    DataFolderOverride& operator=(const DataFolderOverride&) = delete;

private:
    std::string m_previous;
};

class LogFileOverride {
public:
    explicit LogFileOverride(Error::IZxLogFile& log) : m_previous(SetLogFileOverride(&log)) {}
    ~LogFileOverride() { SetLogFileOverride(m_previous); }
    LogFileOverride(const LogFileOverride&) = delete;
    LogFileOverride& operator=(const LogFileOverride&) = delete;

private:
    Error::IZxLogFile* m_previous;
};
