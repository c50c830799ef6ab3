#pragma once
// A status window that records what the engine reports (and can cancel at a chosen point), and the
// report lines a pair's run is expected to give.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/StatusWindow.h"

// Records every report and progress call. Each call is one point at which the real window pumps
// messages; a cancel can be made to arrive at any of them.
class RecordingStatus : public IStatusWindow {
public:
    struct Line {
        bool error;
        std::string text;
        bool operator==(const Line& o) const { return error == o.error && text == o.text; }
    };

    using IStatusWindow::ReportError;
    using IStatusWindow::ReportInfo;

    void ReportError(const std::string& text) override { Report(true, text); }
    void ReportInfo(const std::string& text) override { Report(false, text); }
    void ProcessMessages() override { Point(); }
    void ShowProgress(int count) override {
        shows.push_back(count);
        Point();
    }
    void HideProgress() override { Point(); }
    void SetProgress(int position) override {
        positions.push_back(position);
        if (onProgress) onProgress(position);
        Point();
    }
    // The engine's question before a deletion that would empty most of a folder: recorded, answered
    // with `confirmDeletions`.
    bool ConfirmDeletions(const std::string& question) override {
        questions.push_back(question);
        return confirmDeletions;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Line& line : lines) texts.push_back(line.text);
        return texts;
    }
    std::vector<std::string> Errors() const {
        std::vector<std::string> texts;
        for (const Line& line : lines)
            if (line.error) texts.push_back(line.text);
        return texts;
    }

    std::vector<Line> lines;
    std::vector<int> shows;
    std::vector<int> positions;
    std::vector<std::string> questions;
    bool confirmDeletions = false;
    long points = 0;
    long abortAtPoint = 0; // 0: never
    std::function<void(const std::string&)> onReport; // after the line is recorded
    std::function<void(int)> onProgress;

private:
    void Report(bool error, const std::string& text) {
        lines.push_back({error, text});
        if (onReport) onReport(text);
        Point();
    }
    void Point() {
        if (++points == abortAtPoint) throw CAbortException();
    }
};

inline RecordingStatus::Line Info(const std::string& text) { return {false, text}; }
inline RecordingStatus::Line Err(const std::string& text) { return {true, text}; }

inline void PrintTo(const RecordingStatus::Line& line, std::ostream* os) {
    *os << (line.error ? "Error: " : "Info: ") << '"' << line.text << '"';
}

// The summary line of one folder of a pair.
inline std::string Summary(int changes, int deletions, const std::string& name) {
    return std::to_string(changes) + " items changed, " + std::to_string(deletions) + " deleted in folder '" + name +
           "'.";
}

// The lines of a pair whose run found nothing to do (and, with counts, of any complete run).
inline std::vector<RecordingStatus::Line> PairLines(const std::string& name1, const std::string& name2, int changes1,
                                                    int deletions1, int changes2, int deletions2) {
    return {Info("Synchronization of folders: '" + name1 + "' with '" + name2 + "'"),
            Info("Scanning folder '" + name1 + "'."),
            Info("Scanning folder '" + name2 + "'."),
            Info("Searching for conflicts."),
            Info("Synchronization of changed items."),
            Info("Synchronization of deleted items."),
            Info("Synchronization complete."),
            Info(Summary(changes1, deletions1, name1)),
            Info(Summary(changes2, deletions2, name2)),
            Info(""),
            Info("")};
}
