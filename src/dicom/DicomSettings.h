#pragma once
// The station's DICOM settings: where the PACS is and who the station is.
//
// They live in the machine hive under their own key, HKEY_LOCAL_MACHINE\Software\Kestovar\Dicom
// (kDicomKeyPath), beside the Settings key, whose values stay exactly as they are. Each
// value is read with its default when missing, so an older hive works unchanged. More
// DICOM services (the worklist) add their values to the same key: WorklistAeTitle,
// WorklistHost, WorklistPort, WorklistModality, WorklistFilterByStation.
//
// Threads: Load and Save on the GUI thread (CRegStore's rule); the record itself is a
// plain value the send worker receives a copy of.

#include <QString>

namespace kestovar {

inline constexpr const char* kDicomKeyPath = "Software\\Kestovar\\Dicom";

struct DicomSettings {
    // The PACS (C-STORE SCP).
    QString pacsAeTitle = QStringLiteral("PACS");
    QString pacsHost;
    int pacsPort = 104;
    // The station's own AE title, as the PACS knows it.
    QString stationAeTitle = QStringLiteral("KESTOVAR");
    // DICOM over TLS: the station's certificate and key (PEM) and the certificates it
    // trusts for the PACS (a PEM file of one or more CA or server certificates).
    bool tls = false;
    QString tlsCertificate;
    QString tlsPrivateKey;
    QString tlsTrustedCertificates;
    // Queue each new recording for the PACS when it ends.
    bool sendAfterRecording = false;
    // Root of the UIDs this station makes; empty until EnsureOrgRoot made the default.
    QString orgRoot;
    // The modality worklist server (C-FIND SCP); the station's AE title and TLS above
    // are used for it too. The modality asked for, and whether only the procedures
    // scheduled for this station's AE title are asked for.
    QString worklistAeTitle = QStringLiteral("WORKLIST");
    QString worklistHost;
    int worklistPort = 104;
    QString worklistModality = QStringLiteral("ES");
    bool worklistFilterByStation = false;

    bool configured() const { return !pacsHost.isEmpty() && pacsPort > 0 && !pacsAeTitle.isEmpty(); }
    bool worklistConfigured() const
    {
        return !worklistHost.isEmpty() && worklistPort > 0 && !worklistAeTitle.isEmpty();
    }
    bool operator==(const DicomSettings&) const = default;
};

// Reads the key (missing values: the defaults above).
DicomSettings LoadDicomSettings();
// Writes every value; false when the hive could not be written (it is then unchanged).
bool SaveDicomSettings(const DicomSettings& settings);

// An AE title is 1 to 16 characters of printable ASCII other than backslash, not only
// blanks. Empty when valid, else what is wrong, for the dialog.
QString CheckAeTitle(const QString& title);

// Gives settings.orgRoot the station's default root when it is empty: "2.25." followed
// by the decimal value of a random UUID, made once and then kept in the hive. True when
// the root was made (the caller saves the settings).
bool EnsureOrgRoot(DicomSettings& settings);

} // namespace kestovar
