#include "dicom/PacsStation.h"

#include "platform/RegistryFolder.h"

#include <QFileInfo>
#include <QMetaObject>

namespace kestovar {

namespace {

int BadgeFor(SendState state)
{
    switch (state) {
    case SendState::Queued:
    case SendState::Sending:
        return PacsStation::QueuedBadge;
    case SendState::Sent:
        return PacsStation::SentBadge;
    case SendState::Failed:
        return PacsStation::FailedBadge;
    case SendState::None:
        break;
    }
    return PacsStation::NoBadge;
}

} // namespace

QString PacsStation::DefaultQueueFolder()
{
    return RegistryFolder() + QStringLiteral("/dicom-queue");
}

PacsStation::PacsStation(const QString& queueFolder, QObject* parent)
    : QObject(parent)
    , settings_(LoadDicomSettings())
{
    queue_ = SendQueue::Create(queueFolder.toStdString(), settings_);
    queue_->setListener([this](const QueueEvent& event) {
        // The worker's thread: the rest happens on the GUI thread. A call still queued
        // when this object goes is dropped by Qt.
        QMetaObject::invokeMethod(this, [this, event] { OnEvent(event); }, Qt::QueuedConnection);
    });
    queue_->Start();
}

PacsStation::~PacsStation()
{
    queue_->Stop();
}

bool PacsStation::ApplySettings(const DicomSettings& settings)
{
    DicomSettings s = settings;
    if (s.orgRoot.isEmpty())
        s.orgRoot = settings_.orgRoot;
    EnsureOrgRoot(s);
    if (!SaveDicomSettings(s))
        return false;
    settings_ = s;
    queue_->setSettings(s);
    return true;
}

QString PacsStation::Send(const QStringList& paths, const CaseInfo& formCase)
{
    if (!settings_.configured())
        return QStringLiteral("The PACS is not set up yet. Enter its address in Config > PACS.");
    // The station's UID root is made with its first use and kept from then on; a
    // station that never sends leaves the hive as it was.
    if (EnsureOrgRoot(settings_)) {
        if (!SaveDicomSettings(settings_))
            return QStringLiteral("The station's DICOM settings cannot be saved, so nothing was sent.");
        queue_->setSettings(settings_);
    }
    QStringList problems;
    for (const QString& path : paths) {
        std::string error;
        if (!queue_->Enqueue(path.toStdString(), formCase, &error))
            problems << QString::fromStdString(error);
        else
            badges_[path] = QueuedBadge;
    }
    emit BadgesChanged();
    emit WaitingChanged(Waiting());
    return problems.join(QLatin1Char('\n'));
}

void PacsStation::Renamed(const QString& oldPath, const QString& newPath)
{
    queue_->CaptureRenamed(oldPath.toStdString(), newPath.toStdString());
    badges_.remove(oldPath);
    badges_.remove(newPath);
    emit BadgesChanged();
}

void PacsStation::Deleted(const QString& path)
{
    queue_->CaptureDeleted(path.toStdString());
    badges_.remove(path);
    emit WaitingChanged(Waiting());
}

int PacsStation::Waiting() const
{
    return queue_->WaitingCount();
}

QString PacsStation::WaitingText() const
{
    const int n = Waiting();
    return n == 0 ? QString() : QStringLiteral("%1 waiting for the PACS").arg(n);
}

int PacsStation::BadgeOf(const QString& path)
{
    auto it = badges_.find(path);
    if (it == badges_.end())
        it = badges_.insert(path, BadgeFor(ReadSidecar(path.toStdString()).state));
    return it.value();
}

void PacsStation::OnEvent(const QueueEvent& event)
{
    const QString path = QString::fromStdString(event.capturePath);
    switch (event.kind) {
    case QueueEvent::Queued:
    case QueueEvent::Started:
    case QueueEvent::Retrying:
        badges_[path] = QueuedBadge;
        break;
    case QueueEvent::Sent:
        badges_[path] = SentBadge;
        break;
    case QueueEvent::Failed:
        badges_[path] = FailedBadge;
        emit SendFailed(path, QString::fromStdString(event.message));
        break;
    case QueueEvent::Dropped:
        badges_.remove(path);
        break;
    }
    emit BadgesChanged();
    emit WaitingChanged(Waiting());
}

void PacsStation::ChooseProcedure(const WorklistEntry& e)
{
    procedure_ = ProcedureOf(e);
}

bool PacsStation::AttachProcedureTo(const QString& capturePath, const QString& formPatientName)
{
    // A form cleared or given another patient since the choice: that capture is not of
    // the ordered procedure.
    if (!procedure_ || formPatientName.trimmed().toStdString() != procedure_->readableName)
        return false;
    return AttachProcedure(capturePath.toStdString(), *procedure_);
}

} // namespace kestovar
