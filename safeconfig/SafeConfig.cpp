#include "safeconfig/SafeConfig.h"

#include "lang/lang_res.h"
#include "platform/Folders.h"
#include "safeconfig/ChangesForm.h"
#include "safeconfig/ConfigSnapshot.h"
#include "safeconfig/HistoryForm.h"
#include "safeconfig/ZoneTransfer.h"
#include "zones/TFImageHelper2.h"

#include <QWidget>

TSafeConfig::TSafeConfig(TQuadImager& view, QWidget* parent)
    : View(view), UndoSteps(view), Changes(new TChangesForm(parent)),
      History(new THistoryForm(parent)) {
    History->CurrentDocument = [this] { return UploadText(*View.Config); };
    QObject::connect(History, &THistoryForm::loadRequested, History, [this](const QString& path) {
        if (OnLoadFile)
            OnLoadFile(path);
    });
}

// The dialogs belong to the main window and may outlive us by a moment.
TSafeConfig::~TSafeConfig() {
    if (History) {
        QObject::disconnect(History, &THistoryForm::loadRequested, History, nullptr);
        History->CurrentDocument = nullptr;
    }
}

THistoryStore TSafeConfig::Store() const {
    return THistoryStore(HistoryRoot.empty() ? DataFolder() + "history/" : HistoryRoot);
}

bool TSafeConfig::Keep(const TDetectorKey& detector, const char* kind, const std::string& text) {
    KnownHost = detector.Host;
    KnownPort = detector.Port;
    KnownText = text;
    Known = true;
    std::string problem;
    const TKeepResult result =
        Store().Keep(detector.Host, detector.Port, detector.Label, kind, text, problem);
    if (result != TKeepResult::Failed) {
        Problem.clear();
        ProblemReported = false;
        return true;
    }
    Problem = problem;
    return false;
}

void TSafeConfig::ConfigRead(const TDetectorKey& detector, const std::string& text) {
    // A read has no status text of its own; the history dialog shows the problem.
    Keep(detector, "read", text);
}

QString TSafeConfig::UploadConfirmed(const TDetectorKey& detector, const std::string& text) {
    if (Keep(detector, "sent", text) || ProblemReported)
        return {};
    ProblemReported = true;
    return Lang(ltHistoryNotWritten) + " " + QString::fromStdString(Problem);
}

bool TSafeConfig::LastKnown(const TDetectorKey& detector, std::string& text) const {
    if (Known && KnownHost == detector.Host && KnownPort == detector.Port) {
        text = KnownText;
        return true;
    }
    return Store().Latest(detector.Host, detector.Port, text);
}

void TSafeConfig::ShowChanges(const TDetectorKey& detector, const QPoint& where) {
    std::string before;
    if (LastKnown(detector, before))
        Changes->ShowDifference(Lang(ltChangesCaption),
                                Lang(ltChangesToSend)
                                    .arg(QString::fromStdString(detector.Host + ":" +
                                                                std::to_string(detector.Port))),
                                before, UploadText(*View.Config));
    else
        Changes->ShowMessage(Lang(ltChangesCaption), Lang(ltNoEarlierConfig));
    Changes->move(where);
    Changes->show();
    Changes->raise();
}

void TSafeConfig::ShowHistory(const TDetectorKey& detector, const QPoint& where) {
    const QString name = QString::fromStdString(
        (detector.Label.empty() ? std::string() : detector.Label + " ") + detector.Host + ":" +
        std::to_string(detector.Port));
    History->SetEntries(name, Store().List(detector.Host, detector.Port),
                        Problem.empty() ? QString()
                                        : Lang(ltHistoryNotWritten) + " " +
                                              QString::fromStdString(Problem));
    History->move(where);
    History->show();
    History->raise();
}

QString TSafeConfig::ExportZones(const QString& path) const {
    std::string problem;
    if (!WriteThroughTemporary(path.toStdString(), ExportZonesText(*View.Config), problem))
        return Lang(ltZonesNotWritten) + " " + QString::fromStdString(problem);
    return {};
}

QString TSafeConfig::ImportZones(const QString& path) {
    std::string problem;
    switch (ImportZonesFile(*View.Config, View, path.toStdString(), problem)) {
    case TImportResult::NotParsed:
        return Lang(ltZonesNotParsed);
    case TImportResult::NoSensor:
        return Lang(ltZonesNoSensor);
    case TImportResult::Imported:
        break;
    }
    if (View.Editing)
        View.SelectedIndex = View.Count() - 1;
    UndoSteps.Record();
    View.PaintView();
    return {};
}

void TSafeConfig::ExportZonesDialog() {
    const QString file = AskFile(ltExportZonesMenu, Lang(ltZonesFileFilter), "xml", true);
    if (file.isEmpty())
        return;
    const QString problem = ExportZones(file);
    if (!problem.isEmpty())
        Warn(problem);
}

void TSafeConfig::ImportZonesDialog() {
    const QString file = AskFile(ltImportZonesMenu, Lang(ltZonesFileFilter), "xml", false);
    if (file.isEmpty())
        return;
    const QString problem = ImportZones(file);
    if (!problem.isEmpty())
        Warn(problem);
}
