#pragma once
// One association from the station to a DICOM peer (the PACS, the worklist server):
// DCMTK's DcmSCU with the station's AE title and, when on, TLS from the station's files.
// For DicomSender and WorklistQuery only.

#include "dicom/DicomSender.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/dcmlayer.h>
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

// Makes the association's connections (plain, or TLS through `tls`) and tells the
// interrupt about each, so another thread can break it off.
class WatchedTransportLayer : public DcmTransportLayer {
public:
    WatchedTransportLayer(DcmTLSTransportLayer* tls, SendInterrupt& interrupt)
        : tls_(tls)
        , interrupt_(interrupt)
    {
    }
    DcmTransportConnection* createConnection(DcmNativeSocketType openSocket, OFBool useSecureLayer) override;

private:
    DcmTLSTransportLayer* tls_;
    SendInterrupt& interrupt_;
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
    // Before Open: lets another thread break the association off.
    void setInterrupt(SendInterrupt* interrupt) { interrupt_ = interrupt; }
    // Why the last negotiation failed.
    const OFCondition& negotiation() const { return negotiation_; }

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
        // The transport layer is attached to the network initNetwork made. A watched
        // plain connection goes through the same switch; only TLS layers speak TLS.
        DcmTransportLayer* layer = tls_.get();
        if (interrupt_) {
            watched_ = std::make_unique<WatchedTransportLayer>(tls_.get(), *interrupt_);
            layer = watched_.get();
        }
        if (layer && scu_.useSecureConnection(layer).bad()) {
            o.kind = SendOutcome::Refused;
            o.message = "TLS cannot be started on this station.";
            return o;
        }
        c = negotiation_ = scu_.negotiateAssociation();
        if (interrupt_ && interrupt_->interrupted()) {
            o.message = "The station is closing.";
            return o;
        }
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
    std::unique_ptr<DcmTLSTransportLayer> tls_;
    std::unique_ptr<WatchedTransportLayer> watched_;
    SendInterrupt* interrupt_ = nullptr;
    OFCondition negotiation_;
    // Last: it goes first, with its connection, before the layers it was made by.
    Scu scu_;
};

} // namespace kestovar::detail
