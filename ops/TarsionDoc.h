#pragma once

#include "board/LogChannel.h"
#include "board/RegisterShadow.h"
#include "ops/DocumentSettings.h"
#include "ops/LoadedMemories.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tarsion {

// A view of the document: the log window and the register page on display. The notification is
// synchronous and carries no information about what changed.
class IDocumentObserver {
public:
    virtual ~IDocumentObserver() = default;
    virtual void OnDocumentUpdate() = 0;
    // The changes have settled: the operation that made them has ended (`operationEnded`), or a
    // change was made outside any operation. A view that defers its update to save work catches up
    // here: at once after a change outside an operation, within its frame after an operation.
    virtual void OnDocumentSettled(bool operationEnded) { (void)operationEnded; }
};

// The one document: register shadow, settings, load settings, log channel and recorder.
class CTarsionDoc final : public ILogChannel {
public:
    static constexpr const char* kDefaultTitle = "TRM90627";

    CTarsionDoc();
    ~CTarsionDoc() override;
    CTarsionDoc(const CTarsionDoc&) = delete;
    CTarsionDoc& operator=(const CTarsionDoc&) = delete;

    RegisterShadow& Shadow() { return shadow_; }
    const RegisterShadow& Shadow() const { return shadow_; }

    // Views.
    void AddObserver(IDocumentObserver* observer);
    void RemoveObserver(IDocumentObserver* observer);
    void UpdateAllViews();
    // Operations hold the views for as long as they run; the views settle when the last hold ends.
    void HoldViews() { ++holds_; }
    void ReleaseViews();

    // Log channel: forms the line, notifies every view, then empties the pending text.
    void LogLine(std::string_view text, int indent) override;
    const std::string& PendingLogText() const { return pendingLog_; }

    // Recorder: while recording, each record is a line feed and the text, flushed at once. A record
    // that can't be written stops the recording: the log says why, and so does the handler.
    void RecordLine(std::string_view text);
    bool StartRecording(const std::string& path);
    void StopRecording();
    bool IsRecording() const { return recording_ >= 0; }
    void SetRecordingFailedHandler(std::function<void(const std::string& message)> handler) {
        recordingFailed_ = std::move(handler);
    }
    // The file being recorded to; empty while not recording.
    const std::string& RecordingPath() const { return recordingPath_; }
    // A new file name beside the recording for data a recorded line loads: the recording's name
    // without ".js", a number and `suffix`.
    std::string CompanionFileName(const std::string& suffix);

    StepSettings steps;
    CoefficientSettings coefficientI;
    CoefficientSettings coefficientQ;
    std::string constellationFile = kUnknownFile;
    PatternSettings pattern;
    // What each memory was last loaded with, and its last read-back verification.
    LoadedMemories loaded;
    // The title that the next new-document step gives the document.
    std::string titleText = kDefaultTitle;
    // Relative file names of the loaders are taken against it.
    std::string startDirectory;
    // The folder of the last file chosen in a dialog, by kind ("filters", "constellations",
    // "patterns", "scripts", "configurations", "dumps"): the next dialog of that kind opens there.
    std::map<std::string, std::string> lastFolders;
    // The last change of SysClk, as the log and the status bar say it; empty before the first.
    std::string clockChange;
    // The board this program holds: its id (the last part of its bus name) and its port value.
    std::string boardId;
    std::string portName;

    // The file name of a memory's last load in this run, as the page shows it; "" when it had none.
    std::string LoadedFileName(ChipMemory memory) const;
    // Marks a memory changed by `how` other than by a load (see LoadedMemories::MarkChanged).
    void MarkMemoryChanged(ChipMemory memory, const std::string& how, bool readStillHolds = false) {
        loaded.MarkChanged(memory, LoadedFileName(memory), how, readStillHolds);
    }

    // Resets the load settings to their defaults (document start-up).
    void ResetLoadSettings();

private:
    RegisterShadow shadow_;
    void SettleViews(bool operationEnded);
    template <typename Tell>
    void TellViews(Tell tell);

    std::vector<IDocumentObserver*> observers_;
    int telling_ = 0;
    int holds_ = 0;
    bool changedWhileHeld_ = false;
    std::string pendingLog_;
    int recording_ = -1;
    std::string recordingPath_;
    std::function<void(const std::string&)> recordingFailed_;
    int companionFiles_ = 0;
};

} // namespace tarsion
