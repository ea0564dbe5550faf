#include "dicom/DicomSettings.h"

#include "dicom/DicomUids.h"
#include "recording/CRegStore.h"

namespace kestovar {

namespace {

constexpr const char* kPacsAeTitle = "PacsAeTitle";
constexpr const char* kPacsHost = "PacsHost";
constexpr const char* kPacsPort = "PacsPort";
constexpr const char* kStationAeTitle = "StationAeTitle";
constexpr const char* kTls = "Tls";
constexpr const char* kTlsCertificate = "TlsCertificate";
constexpr const char* kTlsPrivateKey = "TlsPrivateKey";
constexpr const char* kTlsTrusted = "TlsTrustedCertificates";
constexpr const char* kSendAfterRecording = "SendAfterRecording";
constexpr const char* kOrgRoot = "OrgRoot";
constexpr const char* kWorklistAeTitle = "WorklistAeTitle";
constexpr const char* kWorklistHost = "WorklistHost";
constexpr const char* kWorklistPort = "WorklistPort";
constexpr const char* kWorklistModality = "WorklistModality";
constexpr const char* kWorklistFilter = "WorklistFilterByStation";

bool OpenDicomKey(CRegStore& store, bool create)
{
    store.setRootKey(RegRoot::LocalMachine);
    store.setLazyWrite(false);
    return store.OpenKey(QString::fromLatin1(kDicomKeyPath), create);
}

} // namespace

DicomSettings LoadDicomSettings()
{
    DicomSettings s;
    CRegStore store;
    if (!OpenDicomKey(store, false))
        return s;
    auto text = [&](const char* name, const QString& def) { return store.ReadString(QString::fromLatin1(name), def); };
    auto number = [&](const char* name, int def) { return store.ReadInt(QString::fromLatin1(name), def); };
    s.pacsAeTitle = text(kPacsAeTitle, s.pacsAeTitle);
    s.pacsHost = text(kPacsHost, s.pacsHost);
    s.pacsPort = number(kPacsPort, s.pacsPort);
    if (s.pacsPort < 1 || s.pacsPort > 65535)
        s.pacsPort = DicomSettings().pacsPort;
    s.stationAeTitle = text(kStationAeTitle, s.stationAeTitle);
    s.tls = number(kTls, 0) != 0;
    s.tlsCertificate = text(kTlsCertificate, {});
    s.tlsPrivateKey = text(kTlsPrivateKey, {});
    s.tlsTrustedCertificates = text(kTlsTrusted, {});
    s.sendAfterRecording = number(kSendAfterRecording, 0) != 0;
    s.orgRoot = text(kOrgRoot, {});
    if (!s.orgRoot.isEmpty() && !IsValidOrgRoot(s.orgRoot.toStdString()))
        s.orgRoot.clear();
    s.worklistAeTitle = text(kWorklistAeTitle, s.worklistAeTitle);
    s.worklistHost = text(kWorklistHost, s.worklistHost);
    s.worklistPort = number(kWorklistPort, s.worklistPort);
    if (s.worklistPort < 1 || s.worklistPort > 65535)
        s.worklistPort = DicomSettings().worklistPort;
    s.worklistModality = text(kWorklistModality, s.worklistModality).trimmed();
    if (s.worklistModality.isEmpty() || s.worklistModality.size() > 16)
        s.worklistModality = DicomSettings().worklistModality;
    s.worklistFilterByStation = number(kWorklistFilter, 0) != 0;
    return s;
}

bool SaveDicomSettings(const DicomSettings& s)
{
    CRegStore store;
    if (!OpenDicomKey(store, true))
        return false;
    auto text = [&](const char* name, const QString& v) { return store.WriteString(QString::fromLatin1(name), v); };
    auto number = [&](const char* name, int v) { return store.WriteInt(QString::fromLatin1(name), v); };
    return text(kPacsAeTitle, s.pacsAeTitle) && text(kPacsHost, s.pacsHost) && number(kPacsPort, s.pacsPort)
        && text(kStationAeTitle, s.stationAeTitle) && number(kTls, s.tls ? 1 : 0)
        && text(kTlsCertificate, s.tlsCertificate) && text(kTlsPrivateKey, s.tlsPrivateKey)
        && text(kTlsTrusted, s.tlsTrustedCertificates) && number(kSendAfterRecording, s.sendAfterRecording ? 1 : 0)
        && text(kOrgRoot, s.orgRoot) && text(kWorklistAeTitle, s.worklistAeTitle)
        && text(kWorklistHost, s.worklistHost) && number(kWorklistPort, s.worklistPort)
        && text(kWorklistModality, s.worklistModality) && number(kWorklistFilter, s.worklistFilterByStation ? 1 : 0);
}

QString CheckAeTitle(const QString& title)
{
    if (title.trimmed().isEmpty())
        return QStringLiteral("An AE title cannot be empty.");
    if (title.size() > 16)
        return QStringLiteral("An AE title has at most 16 characters.");
    for (QChar c : title) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E || c == QLatin1Char('\\'))
            return QStringLiteral("An AE title holds only plain letters, digits and punctuation (no \\).");
    }
    return {};
}

bool EnsureOrgRoot(DicomSettings& settings)
{
    if (!settings.orgRoot.isEmpty())
        return false;
    settings.orgRoot = QString::fromStdString(MakeUuidOrgRoot());
    return true;
}

} // namespace kestovar
