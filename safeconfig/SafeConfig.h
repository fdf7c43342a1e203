#pragma once
// What the controller binds for safe configuration work: the undo steps of the editor, the
// history of the configurations of each detector, the changes shown before an upload, the history
// dialog and the zones files.
// The controller tells it what arrived and what the detector confirmed; it never talks to the
// detector itself.

#include "safeconfig/ChangesForm.h"
#include "safeconfig/HistoryForm.h"
#include "safeconfig/HistoryStore.h"
#include "safeconfig/UndoRecorder.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <string>

class QWidget;
class TQuadImager;

// A detector as the history knows it: address, port and label.
struct TDetectorKey {
    std::string Host;
    int Port = 0;
    std::string Label;
};

class TSafeConfig final {
public:
    // `view` is the editor whose document is shown and replaced; `parent` owns the dialogs.
    TSafeConfig(TQuadImager& view, QWidget* parent);
    ~TSafeConfig();
    TSafeConfig(const TSafeConfig&) = delete;
    TSafeConfig& operator=(const TSafeConfig&) = delete;

    // The history folder; empty means "history/" in the data folder.
    std::string HistoryRoot;
    THistoryStore Store() const;

    // A configuration read from the detector, as it arrived: kept in the history.
    void ConfigRead(const TDetectorKey& detector, const std::string& text);
    // An upload the detector confirmed, with the text that went out. Returns a line for the
    // upload's status text when keeping it failed, once for a run of failures; empty otherwise.
    QString UploadConfirmed(const TDetectorKey& detector, const std::string& text);
    // Why the last history write failed; empty after a good one.
    const std::string& LastProblem() const { return Problem; }

    // The configuration last read from or accepted by this detector in this run, else the
    // newest kept one; false when none is known.
    bool LastKnown(const TDetectorKey& detector, std::string& text) const;

    // The changes from the last known configuration to the document an upload would send.
    void ShowChanges(const TDetectorKey& detector, const QPoint& where);
    void ShowHistory(const TDetectorKey& detector, const QPoint& where);
    // Rollback: a kept file to be loaded into the editor as a configuration file is.
    std::function<void(const QString& path)> OnLoadFile;

    // Empty on success, else the message for the user.
    QString ExportZones(const QString& path) const;
    QString ImportZones(const QString& path);
    // The menu's zones files: the file asked for, the problem told.
    void ExportZonesDialog();
    void ImportZonesDialog();
    // The controller's questions: a file of the data folder (empty when cancelled), a warning.
    std::function<QString(int title, const QString& filter, const QString& suffix, bool save)>
        AskFile;
    std::function<void(const QString& text)> Warn;

    TUndoRecorder& Undo() { return UndoSteps; }

    TChangesForm* ChangesForm() const { return Changes; }
    THistoryForm* HistoryForm() const { return History; }

private:
    // False when the file could not be written (Problem says why).
    bool Keep(const TDetectorKey& detector, const char* kind, const std::string& text);

    TQuadImager& View;
    TUndoRecorder UndoSteps;
    QPointer<TChangesForm> Changes;
    QPointer<THistoryForm> History;
    std::string KnownHost;
    int KnownPort = 0;
    std::string KnownText;
    bool Known = false;
    std::string Problem;
    bool ProblemReported = false;
};
