#include "base/EntryPoint.h"

#include "base/AppMessageBox.h"
#include "base/Errors.h"
#include "base/LogFile.h"

namespace Error {
namespace {
void ReportUnexpected(const EntryPoint& entry) {
    if (!entry.unexpectedText) return;
    if (entry.logs) GetLogFile().LogError(std::string(entry.unexpectedText));
    ZxAppMessageBox(entry.unexpectedText);
}
} // namespace

void ReportCaughtException(const EntryPoint& entry) noexcept {
    // Reporting may fail in turn (no memory for a text): then there is nobody left to tell.
    try {
        try {
            throw;
        } catch (const ZxException& e) {
            if (entry.logs) GetLogFile().LogException(e, nullptr);
            if (entry.showsErrorBox) e.ShowErrorBox(MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
        } catch (const ZxComError& e) {
            if (entry.showsComErrors) {
                ZxAppMessageBox(e.GetText(), MB_OK | entry.comErrorIcon);
                return;
            }
            ReportUnexpected(entry);
        } catch (...) {
            ReportUnexpected(entry);
        }
    } catch (...) {}
}

} // namespace Error
