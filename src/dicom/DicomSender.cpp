#include "dicom/DicomSender.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/dcmtls/tlslayer.h>
#include <dcmtk/oflog/oflog.h>

#include <memory>
#include <mutex>

namespace kestovar {

namespace {

constexpr Uint32 kStoreResponseSeconds = 300; // a PACS may take a while to file a large movie

void QuietDcmtkLog()
{
    // DCMTK logs to the console by default; the station reports outcomes itself.
    static std::once_flag once;
    std::call_once(once, [] { OFLog::configure(OFLogger::FATAL_LOG_LEVEL); });
}

std::string Where(const DicomSettings& s)
{
    return "\"" + s.pacsAeTitle.toStdString() + "\" at " + s.pacsHost.toStdString() + ":" + std::to_string(s.pacsPort);
}

std::string StatusText(Uint16 status)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", status);
    std::string what;
    if ((status & 0xFF00) == 0xA700)
        what = "the PACS is out of resources";
    else if ((status & 0xFF00) == 0xA900)
        what = "the PACS says the object does not match its kind";
    else if ((status & 0xF000) == 0xC000)
        what = "the PACS cannot understand the object";
    else if (status == 0x0122)
        what = "the PACS does not store this kind of object";
    else if (status == 0x0124)
        what = "the PACS does not allow this station to store";
    else if (status == 0x0211)
        what = "the PACS does not know this kind of object";
    else
        what = "the PACS refused the object";
    return what + " (status " + hex + ")";
}

// DcmSCU with its TLS switch reachable (DCMTK keeps it for derived classes).
class StationScu : public DcmSCU {
public:
    using DcmSCU::useSecureConnection;
};

class Association {
public:
    Association(const DicomSettings& s, int timeoutSeconds)
        : settings_(s)
    {
        QuietDcmtkLog();
        scu_.setAETitle(s.stationAeTitle.toStdString().c_str());
        scu_.setPeerAETitle(s.pacsAeTitle.toStdString().c_str());
        scu_.setPeerHostName(s.pacsHost.toStdString().c_str());
        scu_.setPeerPort(Uint16(s.pacsPort));
        scu_.setACSETimeout(Uint32(timeoutSeconds));
        scu_.setConnectionTimeout(timeoutSeconds);
        scu_.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
        scu_.setDIMSETimeout(Uint32(timeoutSeconds));
        scu_.setVerbosePCMode(OFFalse);
    }

    ~Association()
    {
        if (scu_.isConnected())
            scu_.abortAssociation();
    }

    StationScu& scu() { return scu_; }

    // Sets up TLS when asked for; Refused with the reason when its files are unusable.
    SendOutcome PrepareTls()
    {
        SendOutcome o;
        if (!settings_.tls) {
            o.kind = SendOutcome::Done;
            return o;
        }
        tls_ = std::make_unique<DcmTLSTransportLayer>(NET_REQUESTOR, nullptr, OFTrue);
        const std::string cert = settings_.tlsCertificate.toStdString();
        const std::string key = settings_.tlsPrivateKey.toStdString();
        const std::string trusted = settings_.tlsTrustedCertificates.toStdString();
        o.kind = SendOutcome::Refused;
        if (tls_->setTLSProfile(TSP_Profile_BCP195).bad() || tls_->activateCipherSuites().bad()) {
            o.message = "TLS cannot be started on this station.";
            return o;
        }
        if (!cert.empty() || !key.empty()) {
            if (tls_->setPrivateKeyFile(key.c_str(), DCF_Filetype_PEM).bad()) {
                o.message = "The station's TLS key \"" + key + "\" cannot be read.";
                return o;
            }
            if (tls_->setCertificateFile(cert.c_str(), DCF_Filetype_PEM).bad()) {
                o.message = "The station's TLS certificate \"" + cert + "\" cannot be read.";
                return o;
            }
            if (!tls_->checkPrivateKeyMatchesCertificate()) {
                o.message = "The station's TLS key does not belong to its certificate.";
                return o;
            }
        }
        if (trusted.empty() || tls_->addTrustedCertificateFile(trusted.c_str(), DCF_Filetype_PEM).bad()) {
            o.message = "The certificates to trust for the PACS (\"" + trusted + "\") cannot be read.";
            return o;
        }
        tls_->setCertificateVerification(DCV_requireCertificate);
        o.kind = SendOutcome::Done;
        return o;
    }

    SendOutcome Connect()
    {
        SendOutcome o;
        OFCondition c = scu_.initNetwork();
        if (c.bad()) {
            o.message = std::string("The network cannot be used: ") + c.text() + ".";
            return o;
        }
        // The transport layer is attached to the network initNetwork made.
        if (tls_ && scu_.useSecureConnection(tls_.get()).bad()) {
            o.kind = SendOutcome::Refused;
            o.message = "TLS cannot be started on this station.";
            return o;
        }
        c = scu_.negotiateAssociation();
        if (c.good()) {
            o.kind = SendOutcome::Done;
            return o;
        }
        const std::string why = c.text();
        if (c == DUL_ASSOCIATIONREJECTED || why.find("Rejected") != std::string::npos) {
            o.kind = SendOutcome::Refused;
            o.message = "The PACS " + Where(settings_)
                + " refused the connection (association rejected). Check the PACS's AE title and that the PACS knows "
                  "this station's AE title \""
                + settings_.stationAeTitle.toStdString() + "\".";
        } else if (c == NET_EC_NoAcceptablePresentationContexts || c == NET_EC_NoPresentationContextsDefined) {
            o.kind = SendOutcome::Refused;
            o.message = "The PACS " + Where(settings_) + " accepts none of the kinds of object the station sends.";
        } else if (settings_.tls && (why.find("TLS") != std::string::npos || why.find("SSL") != std::string::npos)) {
            o.kind = SendOutcome::Refused;
            o.message = "The secure (TLS) connection to the PACS " + Where(settings_) + " failed: " + why
                + ". Check the certificates, and that the PACS expects TLS.";
        } else if (why.find("Peer aborted") != std::string::npos || why.find("Illegal") != std::string::npos) {
            // A TLS port spoken to in plain DICOM (or the other way round) ends like this.
            o.kind = settings_.tls ? SendOutcome::Retry : SendOutcome::Refused;
            o.message = "The PACS " + Where(settings_) + " broke off the connection (" + why
                + "). It may require TLS, or not expect it.";
        } else {
            o.message = "The PACS " + Where(settings_) + " cannot be reached (" + why + ").";
        }
        return o;
    }

private:
    const DicomSettings& settings_;
    StationScu scu_;
    std::unique_ptr<DcmTLSTransportLayer> tls_;
};

} // namespace

SendOutcome EchoPacs(const DicomSettings& settings, int timeoutSeconds)
{
    SendOutcome o;
    o.kind = SendOutcome::Refused;
    if (!settings.configured()) {
        o.message = "The PACS's host, port and AE title are not set.";
        return o;
    }
    Association a(settings, timeoutSeconds);
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    a.scu().addPresentationContext(UID_VerificationSOPClass, syntaxes);
    o = a.PrepareTls();
    if (!o.ok())
        return o;
    o = a.Connect();
    if (!o.ok())
        return o;
    OFCondition c = a.scu().sendECHORequest(0);
    if (c.bad()) {
        o.kind = SendOutcome::Retry;
        o.message = std::string("The PACS did not answer the echo: ") + c.text() + ".";
        return o;
    }
    a.scu().releaseAssociation();
    o.kind = SendOutcome::Done;
    o.message = "The PACS " + Where(settings) + " answered.";
    return o;
}

SendOutcome StoreFile(const DicomSettings& settings, const std::string& dicomPath, const std::string& sopClassUid,
    const std::string& transferSyntaxUid)
{
    SendOutcome o;
    if (!settings.configured()) {
        o.message = "The PACS is not set up (Config > PACS).";
        return o;
    }
    Association a(settings, kEchoTimeoutSeconds);
    a.scu().setDIMSETimeout(kStoreResponseSeconds);
    OFList<OFString> syntaxes;
    syntaxes.push_back(transferSyntaxUid.c_str());
    a.scu().addPresentationContext(sopClassUid.c_str(), syntaxes);
    o = a.PrepareTls();
    if (!o.ok())
        return o;
    o = a.Connect();
    if (!o.ok())
        return o;
    const T_ASC_PresentationContextID id = a.scu().findPresentationContextID(sopClassUid.c_str(), transferSyntaxUid.c_str());
    if (id == 0) {
        o.kind = SendOutcome::Refused;
        const char* kind = dcmFindNameOfUID(sopClassUid.c_str(), sopClassUid.c_str());
        const char* syntax = dcmFindNameOfUID(transferSyntaxUid.c_str(), transferSyntaxUid.c_str());
        o.message = std::string("The PACS does not accept ") + kind + " objects in " + syntax + ".";
        return o;
    }
    Uint16 status = 0;
    OFCondition c = a.scu().sendSTORERequest(id, OFFilename(dicomPath.c_str()), nullptr, status);
    if (c.bad()) {
        o.kind = SendOutcome::Retry;
        o.message = std::string("The send was broken off: ") + c.text() + ".";
        return o;
    }
    a.scu().releaseAssociation();
    // 0000 success; Bxxx warnings (the PACS kept the object, perhaps coerced).
    if (status == 0 || (status & 0xF000) == 0xB000) {
        o.kind = SendOutcome::Done;
        return o;
    }
    o.kind = (status & 0xFF00) == 0xA700 ? SendOutcome::Retry : SendOutcome::Refused;
    o.message = StatusText(status) + ".";
    return o;
}

} // namespace kestovar
