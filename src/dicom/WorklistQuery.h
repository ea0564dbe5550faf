#pragma once
// Today's procedures from the hospital's modality worklist: a Modality Worklist C-FIND
// (1.2.840.10008.5.1.4.31) to the worklist server of the DICOM settings, with the
// station's AE title and TLS settings.
//
// The query asks for the Scheduled Procedure Steps of one day (today), of the set
// modality (ES unless set otherwise) and, when the filter is on, scheduled for the
// station's own AE title. Each answer becomes a WorklistEntry in UTF-8 whatever the
// server's Specific Character Set was (ISO_IR 100, ISO_IR 192, ...); a name is kept as
// the server stores it, for the PACS, and shown the way a person reads it.
//
// QueryWorklist blocks (any thread); WorklistQuery runs it on a worker and answers on
// the GUI thread, giving up after kWorklistTimeoutSeconds with a message.

#include "dicom/CaptureSidecar.h"
#include "dicom/DicomSettings.h"

#include <QDate>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <memory>

class QTimer;
#include <vector>

namespace kestovar {

inline constexpr const char* kModalityWorklistFind = "1.2.840.10008.5.1.4.31";
inline constexpr int kWorklistTimeoutSeconds = 10;

struct WorklistEntry {
    QString scheduledDate; // YYYYMMDD as given
    QString scheduledTime; // HHMMSS(.ffffff) as given, may be empty
    QString patientName; // the DICOM person name, "^" and "=" kept
    QString patientId;
    QString birthDate; // YYYYMMDD, may be empty
    QString sex; // M, F, O or empty
    QString procedureDescription; // the step's, else the requested procedure's
    QString accessionNumber;
    QString performingPhysician; // DICOM person name
    QString institution;
    QString studyInstanceUid;
    QString requestedProcedureId;
    QString requestedProcedureDescription;

    // How a person reads the names: "Given Middle Family".
    QString readablePatientName() const;
    QString readablePhysician() const;
    // "09:30", or empty.
    QString readableTime() const;
    // "1970-03-14", or the text as given when it is not a date.
    QString readableBirthDate() const;
};

struct WorklistResult {
    bool ok = false;
    QString message; // why not, in plain words
    std::vector<WorklistEntry> entries;
};

// "Family^Given^Middle^Prefix^Suffix" (its first written group) as "Prefix Given Middle
// Family Suffix"; a name without "^" as it is.
QString ReadablePersonName(const QString& dicomName);

// What a capture keeps of the entry (its sidecar's Worklist section).
WorklistProcedure ProcedureOf(const WorklistEntry& entry);

// A File Name suggested from a procedure's description: the characters the File Name
// field refuses and control characters left out, blanks run together, no leading dot,
// at most 64 characters.
QString SuggestedFileName(const QString& description);

// Blocks for at most about timeoutSeconds.
WorklistResult QueryWorklist(
    const DicomSettings& settings, const QDate& day, int timeoutSeconds = kWorklistTimeoutSeconds);
// A C-ECHO to the worklist server; empty when it answered, else why not.
QString EchoWorklist(const DicomSettings& settings, int timeoutSeconds);

// One query at a time on a worker thread. Finished comes once per Start, on this
// object's thread: with the answer, or with a message when none came in time. A late
// answer of a query given up is dropped.
class WorklistQuery : public QObject {
    Q_OBJECT
public:
    explicit WorklistQuery(QObject* parent = nullptr);
    ~WorklistQuery() override;

    void Start(const DicomSettings& settings, const QDate& day = QDate::currentDate());
    bool Running() const { return running_; }
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }

signals:
    void Finished(const kestovar::WorklistResult& result);

private:
    void Deliver(int ticket, const WorklistResult& result);

    std::shared_ptr<int> alive_;
    int ticket_ = 0;
    bool running_ = false;
    int timeoutMs_ = kWorklistTimeoutSeconds * 1000;
    QTimer* deadline_;
};

} // namespace kestovar

Q_DECLARE_METATYPE(kestovar::WorklistResult)
