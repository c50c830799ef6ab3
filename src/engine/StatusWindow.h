#pragma once
// The engine's only channel to the user: report lines, drive a progress bar, learn of a cancel.
#include <string>

#include "base/StringTable.h"

// Thrown by ProcessMessages when the user asked to stop; outside the Error family on purpose.
class CAbortException {};

class IStatusWindow {
public:
    virtual ~IStatusWindow() = default;
    virtual void ReportError(unsigned stringId);
    virtual void ReportError(const std::string& text) = 0;
    virtual void ReportInfo(unsigned stringId);
    virtual void ReportInfo(const std::string& text) = 0;
    virtual void ProcessMessages() = 0;
    virtual void ShowProgress(int count) = 0;
    virtual void HideProgress() = 0;
    virtual void SetProgress(int position) = 0;
    // Asks the user whether to carry a deletion that would empty most of a folder (the question names
    // the folders and the count). True only for the user's yes; a window that cannot ask says no.
    virtual bool ConfirmDeletions(const std::string& question);
    virtual void ReportInfoFormat(unsigned stringId, ...);
    // The format comes from the program or the string table, never from data: pass data through "%s".
    ZX_PRINTF_FORMAT(2, 3) virtual void ReportInfoFormat(const char* format, ...);
    virtual void ReportErrorFormat(unsigned stringId, ...);
    ZX_PRINTF_FORMAT(2, 3) virtual void ReportErrorFormat(const char* format, ...);
    // A point inside a long stretch without reports (between two batches of a folder scan) where a
    // status that runs beside the user may hand the thread back for a moment, or raise CAbortException.
    // The progress window does nothing here, so a manual run is paced as before.
    virtual void GiveWay() {}
};
