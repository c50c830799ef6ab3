#pragma once
// Running the add-in's real clients from a test: Wine's regsvr32 and the stand-in Outlook host, each a
// process of its own whose output is read back and whose message boxes are recorded and answered.
#include <windows.h>

#include <string>
#include <vector>

namespace addintest {

struct MessageBox {
    std::string caption;
    std::string text;
};

struct ProcessResult {
    DWORD exitCode = 0xFFFFFFFF;
    bool timedOut = false;
    std::string output; // stdout
    std::vector<std::string> lines;
    std::vector<MessageBox> boxes; // boxes of the process, seen by this test and answered with OK
};

// Runs commandLine and waits (at most timeoutMs), answering every message box the process leaves up.
ProcessResult RunProcess(const std::string& commandLine, DWORD timeoutMs = 60000);

// The folder of the test program, and the folder below it where the add-in module, the host and the
// stand-in mapi32.dll lie together.
std::string TestFolder();
std::string InstallFolder();
std::string AddinModulePath();

ProcessResult Regsvr32(bool unregister);
// Registers the module of this test folder unless it already is; false when registration failed.
bool EnsureRegistered();

// The stand-in Outlook host with the given arguments.
ProcessResult RunHost(const std::string& arguments);

// Registry reads; "" for the default value. Found is false when the key or value is missing.
std::string ReadString(HKEY root, const std::string& key, const std::string& value, bool* found = nullptr);
bool KeyExists(HKEY root, const std::string& key);
bool ValueExists(HKEY root, const std::string& key, const std::string& value);
// Every key, value and data below key as "<path>|<value>|<data>" lines, sorted (for comparisons).
std::vector<std::string> SnapshotTree(HKEY root, const std::string& key);

} // namespace addintest
