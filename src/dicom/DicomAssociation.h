#pragma once
// One association from the station to a DICOM peer (the PACS, the worklist server):
// DCMTK's DcmSCU with the station's AE title and, when on, TLS from the station's files.
// For DicomSender and WorklistQuery only.

#include "dicom/DicomSender.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/dcmtls/tlslayer.h>

#include <memory>
#include <string>

namespace kestovar::detail {

// Who the station talks to; `name` is how messages call it ("PACS", "worklist server").
struct DicomPeer {
    std::string aeTitle, host, name;
    int port = 0;
};

DicomPeer PacsPeer(const DicomSettings& s);
void QuietDcmtkLog();

// DcmSCU with its TLS switch reachable (DCMTK keeps it for derived classes).
class StationScu : public DcmSCU {
public:
    using DcmSCU::useSecureConnection;
};

template <class Scu = StationScu> class Association {
public:
    Association(const DicomSettings& s, const DicomPeer& peer, int timeoutSeconds)
        : settings_(s)
        , peer_(peer)
    {
        QuietDcmtkLog();
        scu_.setAETitle(s.stationAeTitle.toStdString().c_str());
        scu_.setPeerAETitle(peer.aeTitle.c_str());
        scu_.setPeerHostName(peer.host.c_str());
        scu_.setPeerPort(Uint16(peer.port));
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

    Scu& scu() { return scu_; }

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
            o.message = "The certificates to trust for the " + peer_.name + " (\"" + trusted
                + "\") cannot be read.";
            return o;
        }
        tls_->setCertificateVerification(DCV_requireCertificate);
        o.kind = SendOutcome::Done;
        return o;
    }

    // TLS when asked for, then the network and the association: Done, or why not.
    SendOutcome Open()
    {
        SendOutcome o = PrepareTls();
        return o.ok() ? Connect() : o;
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
            o.message = "The " + peer_.name + " " + Where()
                + " refused the connection (association rejected). Check the " + peer_.name
                + "'s AE title and that the " + peer_.name + " knows this station's AE title \""
                + settings_.stationAeTitle.toStdString() + "\".";
        } else if (c == NET_EC_NoAcceptablePresentationContexts
            || c == NET_EC_NoPresentationContextsDefined) {
            o.kind = SendOutcome::Refused;
            o.message = "The " + peer_.name + " " + Where()
                + " accepts none of the kinds of object the station sends.";
        } else if (settings_.tls
            && (why.find("TLS") != std::string::npos || why.find("SSL") != std::string::npos)) {
            o.kind = SendOutcome::Refused;
            o.message = "The secure (TLS) connection to the " + peer_.name + " " + Where() + " failed: " + why
                + ". Check the certificates, and that the " + peer_.name + " expects TLS.";
        } else if (why.find("Peer aborted") != std::string::npos
            || why.find("Illegal") != std::string::npos) {
            // A TLS port spoken to in plain DICOM (or the other way round) ends like this.
            o.kind = settings_.tls ? SendOutcome::Retry : SendOutcome::Refused;
            o.message = "The " + peer_.name + " " + Where() + " broke off the connection (" + why
                + "). It may require TLS, or not expect it.";
        } else {
            o.message = "The " + peer_.name + " " + Where() + " cannot be reached (" + why + ").";
        }
        return o;
    }

    std::string Where() const
    {
        return "\"" + peer_.aeTitle + "\" at " + peer_.host + ":" + std::to_string(peer_.port);
    }

private:
    const DicomSettings& settings_;
    DicomPeer peer_;
    Scu scu_;
    std::unique_ptr<DcmTLSTransportLayer> tls_;
};

} // namespace kestovar::detail
