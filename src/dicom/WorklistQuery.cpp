#include "dicom/WorklistQuery.h"

#include "dicom/DicomAssociation.h"
#include "recording/FileNameRules.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dimse.h>
#include <dcmtk/dcmnet/scu.h>

#include <QMetaObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <thread>

namespace kestovar {

namespace {

using Clock = std::chrono::steady_clock;
using detail::Association;
using detail::DicomPeer;

// More than any day of one room; a server answering without end is cut here.
constexpr std::size_t kMaxEntries = 20000;

DicomPeer WorklistPeer(const DicomSettings& s)
{
    return { s.worklistAeTitle.toStdString(), s.worklistHost.toStdString(), "worklist server",
        s.worklistPort };
}

QString Text(DcmItem* item, const DcmTagKey& tag, bool utf8)
{
    if (!item)
        return {};
    OFString value;
    if (item->findAndGetOFStringArray(tag, value).bad())
        return {};
    const QByteArray bytes(value.c_str(), int(value.size()));
    return (utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes)).trimmed();
}

WorklistEntry EntryOf(DcmDataset& data)
{
    // Every text in UTF-8, whatever Specific Character Set the server used. Should the
    // conversion fail (a set this system's iconv lacks, or bytes outside the set named),
    // the bytes are read as Latin-1, which never loses a byte.
    const bool utf8 = data.convertToUTF8().good();
    DcmItem* step = nullptr;
    data.findAndGetSequenceItem(DCM_ScheduledProcedureStepSequence, step, 0);
    WorklistEntry e;
    e.scheduledDate = Text(step, DCM_ScheduledProcedureStepStartDate, utf8);
    e.scheduledTime = Text(step, DCM_ScheduledProcedureStepStartTime, utf8);
    e.performingPhysician = Text(step, DCM_ScheduledPerformingPhysicianName, utf8);
    e.procedureDescription = Text(step, DCM_ScheduledProcedureStepDescription, utf8);
    e.patientName = Text(&data, DCM_PatientName, utf8);
    e.patientId = Text(&data, DCM_PatientID, utf8);
    e.birthDate = Text(&data, DCM_PatientBirthDate, utf8);
    e.sex = Text(&data, DCM_PatientSex, utf8);
    e.accessionNumber = Text(&data, DCM_AccessionNumber, utf8);
    e.institution = Text(&data, DCM_InstitutionName, utf8);
    e.studyInstanceUid = Text(&data, DCM_StudyInstanceUID, utf8);
    e.requestedProcedureId = Text(&data, DCM_RequestedProcedureID, utf8);
    e.requestedProcedureDescription = Text(&data, DCM_RequestedProcedureDescription, utf8);
    if (e.procedureDescription.isEmpty())
        e.procedureDescription = e.requestedProcedureDescription;
    return e;
}

// Collects the answers as they come, so 500 of them never sit in DCMTK's list, and
// stops waiting once the time is up.
class WorklistScu : public detail::StationScu {
public:
    WorklistScu() = default;
    Clock::time_point deadline;
    std::vector<WorklistEntry> entries;
    Uint16 lastStatus = 0;
    bool late = false;

    OFCondition handleFINDResponse(
        const T_ASC_PresentationContextID presID, QRResponse* response, OFBool& waitForNextResponse) override
    {
        OFCondition c = DcmSCU::handleFINDResponse(presID, response, waitForNextResponse);
        lastStatus = response->m_status;
        if (response->m_dataset && DICOM_PENDING_STATUS(response->m_status) && entries.size() < kMaxEntries)
            entries.push_back(EntryOf(*response->m_dataset));
        if (waitForNextResponse && Clock::now() > deadline) {
            late = true;
            waitForNextResponse = OFFalse;
        }
        return c;
    }
};

DcmDataset QueryKeys(const DicomSettings& s, const QDate& day)
{
    DcmDataset keys;
    for (const DcmTagKey& tag : { DCM_PatientName, DCM_PatientID, DCM_PatientBirthDate, DCM_PatientSex,
             DCM_AccessionNumber, DCM_InstitutionName, DCM_StudyInstanceUID, DCM_RequestedProcedureID,
             DCM_RequestedProcedureDescription, DCM_ReferringPhysicianName })
        keys.insertEmptyElement(tag);
    DcmItem* step = nullptr;
    keys.findOrCreateSequenceItem(DCM_ScheduledProcedureStepSequence, step);
    if (step) {
        step->putAndInsertString(DCM_Modality, s.worklistModality.toLatin1().constData());
        step->putAndInsertString(DCM_ScheduledStationAETitle,
            s.worklistFilterByStation ? s.stationAeTitle.toLatin1().constData() : "");
        step->putAndInsertString(DCM_ScheduledProcedureStepStartDate,
            day.toString(QStringLiteral("yyyyMMdd")).toLatin1().constData());
        for (const DcmTagKey& tag :
            { DCM_ScheduledProcedureStepStartTime, DCM_ScheduledPerformingPhysicianName,
                DCM_ScheduledProcedureStepDescription, DCM_ScheduledProcedureStepID })
            step->insertEmptyElement(tag);
    }
    return keys;
}

QString StatusText(Uint16 status)
{
    if ((status & 0xFF00) == 0xA700)
        return QStringLiteral("The worklist server is out of resources (status %1).")
            .arg(status, 4, 16, QLatin1Char('0'));
    if ((status & 0xFF00) == 0xA900 || (status & 0xF000) == 0xC000)
        return QStringLiteral("The worklist server could not answer the query (status %1).")
            .arg(status, 4, 16, QLatin1Char('0'));
    if (status == 0xFE00)
        return QStringLiteral("The worklist server cancelled the query.");
    return QStringLiteral("The worklist server refused the query (status %1).")
        .arg(status, 4, 16, QLatin1Char('0'));
}

} // namespace

QString ReadablePersonName(const QString& dicomName)
{
    QString group = dicomName.section(QLatin1Char('='), 0, 0).trimmed();
    if (group.isEmpty()) // only an ideographic or phonetic form
        group = dicomName.section(QLatin1Char('='), 1, 1).trimmed();
    if (!group.contains(QLatin1Char('^')))
        return group;
    const QStringList p = group.split(QLatin1Char('^'));
    auto part = [&](int i) { return i < p.size() ? p[i].trimmed() : QString(); };
    QStringList words;
    for (const QString& w : { part(3), part(1), part(2), part(0) })
        if (!w.isEmpty())
            words << w;
    QString name = words.join(QLatin1Char(' '));
    if (!part(4).isEmpty())
        name += (name.isEmpty() ? QString() : QStringLiteral(", ")) + part(4);
    return name;
}

WorklistProcedure ProcedureOf(const WorklistEntry& e)
{
    WorklistProcedure p;
    p.patientId = e.patientId.toStdString();
    p.patientName = e.patientName.toStdString();
    p.readableName = e.readablePatientName().toStdString();
    p.birthDate = e.birthDate.toStdString();
    p.sex = e.sex.toStdString();
    p.accessionNumber = e.accessionNumber.toStdString();
    p.studyUid = e.studyInstanceUid.toStdString();
    p.requestedProcedureId = e.requestedProcedureId.toStdString();
    p.requestedProcedureDescription = e.requestedProcedureDescription.toStdString();
    return p;
}

QString SuggestedFileName(const QString& description)
{
    QString out;
    bool blank = false;
    for (const uint c : description.toUcs4()) {
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
        if (control || QChar::isSpace(char32_t(c))) {
            blank = true;
            continue;
        }
        if (IsRefusedFileNameChar(char32_t(c)))
            continue;
        if (blank && !out.isEmpty())
            out += QLatin1Char(' ');
        blank = false;
        out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
    }
    while (out.contains(QStringLiteral("..")))
        out.replace(QStringLiteral(".."), QStringLiteral("."));
    while (out.startsWith(QLatin1Char('.')) || out.startsWith(QLatin1Char(' ')))
        out.remove(0, 1);
    QString cut;
    for (const uint c : out.toUcs4()) {
        if (cut.toUcs4().size() >= 64)
            break;
        cut += QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
    }
    return cut.trimmed();
}

QString WorklistEntry::readablePatientName() const
{
    return ReadablePersonName(patientName);
}
QString WorklistEntry::readablePhysician() const
{
    return ReadablePersonName(performingPhysician);
}

QString WorklistEntry::readableTime() const
{
    if (scheduledTime.size() < 4)
        return {};
    return scheduledTime.left(2) + QLatin1Char(':') + scheduledTime.mid(2, 2);
}

QString WorklistEntry::readableBirthDate() const
{
    const QDate d = QDate::fromString(birthDate, QStringLiteral("yyyyMMdd"));
    return d.isValid() ? d.toString(Qt::ISODate) : birthDate;
}

WorklistResult QueryWorklist(const DicomSettings& settings, const QDate& day, int timeoutSeconds)
{
    WorklistResult r;
    if (!settings.worklistConfigured()) {
        r.message = QStringLiteral("The worklist server is not set up (Config > PACS).");
        return r;
    }
    const auto start = Clock::now();
    Association<WorklistScu> a(settings, WorklistPeer(settings), timeoutSeconds);
    a.scu().deadline = start + std::chrono::seconds(timeoutSeconds);
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    a.scu().addPresentationContext(UID_FINDModalityWorklistInformationModel, syntaxes);
    SendOutcome o = a.Open();
    if (!o.ok()) {
        r.message = o.message.find("timeout") != std::string::npos
            ? QStringLiteral("No answer from the worklist server \"%1\" at %2:%3 within %4 seconds.")
                  .arg(settings.worklistAeTitle, settings.worklistHost)
                  .arg(settings.worklistPort)
                  .arg(timeoutSeconds)
            : QString::fromStdString(o.message);
        return r;
    }
    const T_ASC_PresentationContextID id
        = a.scu().findPresentationContextID(UID_FINDModalityWorklistInformationModel, "");
    if (id == 0) {
        r.message = QStringLiteral("The server \"%1\" does not offer a modality worklist.")
                        .arg(settings.worklistAeTitle);
        return r;
    }
    // What is left of the time for the answers.
    const auto left
        = std::chrono::duration_cast<std::chrono::seconds>(a.scu().deadline - Clock::now()).count();
    a.scu().setDIMSETimeout(Uint32(std::max<long long>(1, left)));
    DcmDataset keys = QueryKeys(settings, day);
    OFCondition c = a.scu().sendFINDRequest(id, &keys, nullptr);
    if (a.scu().late) {
        r.message = QStringLiteral("The worklist server did not finish its answer within %1 seconds.")
                        .arg(timeoutSeconds);
        return r;
    }
    if (c.bad()) {
        const QString why = QString::fromLatin1(c.text());
        // What came before the break is not shown: a list that looks whole but is not
        // would let the operator conclude that a patient is not scheduled.
        const size_t got = a.scu().entries.size();
        r.message = c == DIMSE_NODATAAVAILABLE
            ? QStringLiteral("The worklist server did not answer within %1 seconds.").arg(timeoutSeconds)
            : QStringLiteral("The worklist server broke off its answer (%1) after %2. The incomplete list is "
                             "not shown: open the worklist again, or type the case information.")
                  .arg(why,
                      got == 1 ? QStringLiteral("1 procedure") : QStringLiteral("%1 procedures").arg(got));
        return r;
    }
    const Uint16 status = a.scu().lastStatus;
    if (status != 0x0000 && !DICOM_PENDING_STATUS(status)) {
        r.message = StatusText(status);
        return r;
    }
    a.scu().releaseAssociation();
    r.ok = true;
    r.entries = std::move(a.scu().entries);
    std::stable_sort(r.entries.begin(), r.entries.end(), [](const WorklistEntry& x, const WorklistEntry& y) {
        return std::tie(x.scheduledDate, x.scheduledTime) < std::tie(y.scheduledDate, y.scheduledTime);
    });
    return r;
}

QString EchoWorklist(const DicomSettings& settings, int timeoutSeconds)
{
    if (!settings.worklistConfigured())
        return QStringLiteral("The worklist server's host, port and AE title are not set.");
    Association<> a(settings, WorklistPeer(settings), timeoutSeconds);
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    a.scu().addPresentationContext(UID_VerificationSOPClass, syntaxes);
    a.scu().addPresentationContext(UID_FINDModalityWorklistInformationModel, syntaxes);
    SendOutcome o = a.Open();
    if (!o.ok())
        return QString::fromStdString(o.message);
    if (a.scu().findPresentationContextID(UID_FINDModalityWorklistInformationModel, "") == 0)
        return QStringLiteral("The server \"%1\" answers but does not offer a modality worklist.")
            .arg(settings.worklistAeTitle);
    OFCondition c = a.scu().sendECHORequest(0);
    if (c.bad())
        return QStringLiteral("The worklist server did not answer the echo: %1.")
            .arg(QString::fromLatin1(c.text()));
    a.scu().releaseAssociation();
    return {};
}

WorklistQuery::WorklistQuery(QObject* parent)
    : QObject(parent)
    , alive_(std::make_shared<int>(0))
    , deadline_(new QTimer(this))
{
    qRegisterMetaType<WorklistResult>();
    deadline_->setSingleShot(true);
    connect(deadline_, &QTimer::timeout, this, [this] {
        WorklistResult r;
        r.message = QStringLiteral(
            "No answer from the worklist server within %1 seconds. Check the host and port, and "
            "that the server is running; the case information can be typed in.")
                        .arg(kWorklistTimeoutSeconds);
        Deliver(ticket_, r);
    });
}

WorklistQuery::~WorklistQuery() = default;

void WorklistQuery::Start(const DicomSettings& settings, const QDate& day)
{
    const int ticket = ++ticket_;
    running_ = true;
    deadline_->start(timeoutMs_);
    std::weak_ptr<int> alive = alive_;
    QPointer<WorklistQuery> self(this);
    // The worker owns copies of everything it uses; its answer is taken only if this
    // object still lives and this query is still the current one.
    std::thread([alive, self, settings, day, ticket] {
        WorklistResult r = QueryWorklist(settings, day, kWorklistTimeoutSeconds);
        if (alive.expired())
            return;
        QMetaObject::invokeMethod(
            self,
            [self, ticket, r] {
                if (self)
                    self->Deliver(ticket, r);
            },
            Qt::QueuedConnection);
    }).detach();
}

void WorklistQuery::Deliver(int ticket, const WorklistResult& result)
{
    if (ticket != ticket_ || !running_)
        return;
    running_ = false;
    deadline_->stop();
    emit Finished(result);
}

} // namespace kestovar
