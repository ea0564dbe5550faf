#pragma once
// The station's side of the PACS for the windows: the settings, the send queue and
// what the media list and status bar show of it. Lives on the GUI thread; the queue's
// events arrive here through queued calls.

#include "dicom/DicomSettings.h"
#include "dicom/SendQueue.h"
#include "dicom/WorklistQuery.h"
#include "library/CaseInfoFile.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace kestovar {

class PacsStation : public QObject {
    Q_OBJECT
public:
    // The badge values the media list draws (MediaListModel::SendBadge).
    enum Badge { NoBadge = 0, QueuedBadge = 1, SentBadge = 2, FailedBadge = 3 };

    // Loads the settings and starts the queue of queueFolder. Nothing is written to the
    // hive until the PACS is set up or first used (the UID root is made then, once).
    explicit PacsStation(const QString& queueFolder, QObject* parent = nullptr);
    ~PacsStation() override;

    // <registry folder>/dicom-queue: beside the hive files, in the station's state folder.
    static QString DefaultQueueFolder();

    const DicomSettings& settings() const { return settings_; }
    // Saves the settings and hands them to the queue; false when the hive cannot be written.
    bool ApplySettings(const DicomSettings& settings);

    // Queues captures; an empty text, or what went wrong in plain words.
    QString Send(const QStringList& paths, const CaseInfo& formCase);
    void Renamed(const QString& oldPath, const QString& newPath);
    void Deleted(const QString& path);

    // The procedure the operator chose from the worklist. Each capture made while the
    // form still shows its patient (by the name it filled in) keeps it in its sidecar.
    void ChooseProcedure(const WorklistEntry& entry);
    const std::optional<WorklistProcedure>& Procedure() const { return procedure_; }
    // Keeps the chosen procedure with the capture when formPatientName is still the
    // chosen patient's; false when nothing was kept.
    bool AttachProcedureTo(const QString& capturePath, const QString& formPatientName);

    int Waiting() const;
    // "3 waiting for the PACS", or empty when none waits.
    QString WaitingText() const;
    int BadgeOf(const QString& path);

signals:
    void WaitingChanged(int count);
    void BadgesChanged();
    // A send failed for good (refused, or the capture cannot be sent): told once.
    void SendFailed(const QString& path, const QString& message);

private:
    void OnEvent(const QueueEvent& event);

    DicomSettings settings_;
    std::shared_ptr<SendQueue> queue_;
    QHash<QString, int> badges_;
    std::optional<WorklistProcedure> procedure_;
};

} // namespace kestovar
