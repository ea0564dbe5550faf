#include "dicom/DicomSender.h"

#include "dicom/DicomAssociation.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dcmtrans.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/dcmtls/tlslayer.h>
#include <dcmtk/oflog/oflog.h>

#include <memory>
#include <mutex>
#include <sys/socket.h>

namespace kestovar {

namespace {

constexpr Uint32 kStoreResponseSeconds = 300; // a PACS may take a while to file a large movie

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

// A connection that tells the interrupt while its socket is open. It hands every call
// to the connection the layer made, and forgets the socket before that one closes it,
// so the interrupt never shuts down a number the system has given to another file.
class WatchedConnection : public DcmTransportConnection {
public:
    WatchedConnection(DcmNativeSocketType socket, DcmTransportConnection* inner, SendInterrupt& interrupt)
        : DcmTransportConnection(socket)
        , inner_(inner)
        , interrupt_(interrupt)
    {
        interrupt_.Attach(socket);
    }
    ~WatchedConnection() override
    {
        Forget();
        delete inner_;
    }
    OFCondition serverSideHandshake() override { return inner_->serverSideHandshake(); }
    OFCondition clientSideHandshake() override { return inner_->clientSideHandshake(); }
    OFCondition renegotiate(const char* suite) override { return inner_->renegotiate(suite); }
    ssize_t read(void* buf, size_t nbyte) override { return inner_->read(buf, nbyte); }
    ssize_t write(void* buf, size_t nbyte) override { return inner_->write(buf, nbyte); }
    void close() override
    {
        Forget();
        inner_->close();
    }
    void closeTransportConnection() override
    {
        Forget();
        inner_->closeTransportConnection();
    }
    unsigned long getPeerCertificateLength() override { return inner_->getPeerCertificateLength(); }
    unsigned long getPeerCertificate(void* buf, unsigned long len) override { return inner_->getPeerCertificate(buf, len); }
    OFBool networkDataAvailable(int timeout) override { return inner_->networkDataAvailable(timeout); }
    OFBool isTransparentConnection() override { return inner_->isTransparentConnection(); }
    OFString& dumpConnectionParameters(OFString& str) override { return inner_->dumpConnectionParameters(str); }

private:
    void Forget()
    {
        if (getSocket() != DcmNativeSocketType(-1)) {
            interrupt_.Detach(int(getSocket()));
            setSocket(DcmNativeSocketType(-1));
        }
    }

    DcmTransportConnection* inner_;
    SendInterrupt& interrupt_;
};

} // namespace

void SendInterrupt::Interrupt()
{
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    if (socket_ >= 0)
        ::shutdown(socket_, SHUT_RDWR); // a blocked write or read returns at once
}

void SendInterrupt::Attach(int socket)
{
    std::lock_guard lock(mutex_);
    socket_ = socket;
    if (interrupted_)
        ::shutdown(socket_, SHUT_RDWR);
}

void SendInterrupt::Detach(int socket)
{
    std::lock_guard lock(mutex_);
    if (socket_ == socket)
        socket_ = -1;
}

namespace detail {

DcmTransportConnection* WatchedTransportLayer::createConnection(DcmNativeSocketType openSocket, OFBool)
{
    DcmTransportConnection* inner = tls_ ? tls_->createConnection(openSocket, OFTrue)
                                         : DcmTransportLayer::createConnection(openSocket, OFFalse);
    return inner ? new WatchedConnection(openSocket, inner, interrupt_) : nullptr;
}

void QuietDcmtkLog()
{
    // DCMTK logs to the console by default; the station reports outcomes itself.
    static std::once_flag once;
    std::call_once(once, [] { OFLog::configure(OFLogger::FATAL_LOG_LEVEL); });
}

DicomPeer PacsPeer(const DicomSettings& s)
{
    return { s.pacsAeTitle.toStdString(), s.pacsHost.toStdString(), "PACS", s.pacsPort };
}

} // namespace detail

using Association = detail::Association<>;
using detail::PacsPeer;

namespace {

// A C-ECHO on its own association. `serviceOptional`: an association accepted without
// the verification service counts as done.
SendOutcome Echo(const DicomSettings& settings, int timeoutSeconds, SendInterrupt* interrupt, bool serviceOptional)
{
    SendOutcome o;
    Association a(settings, PacsPeer(settings), timeoutSeconds);
    a.setInterrupt(interrupt);
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    a.scu().addPresentationContext(UID_VerificationSOPClass, syntaxes);
    o = a.Open();
    if (!o.ok() && serviceOptional && a.negotiation() == NET_EC_NoAcceptablePresentationContexts) {
        if (a.scu().isConnected())
            a.scu().releaseAssociation();
        return { SendOutcome::Done, "The PACS " + Where(settings) + " answered." };
    }
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

} // namespace

SendOutcome EchoPacs(const DicomSettings& settings, int timeoutSeconds, SendInterrupt* interrupt)
{
    if (!settings.configured())
        return { SendOutcome::Refused, "The PACS's host, port and AE title are not set." };
    return Echo(settings, timeoutSeconds, interrupt, false);
}

SendOutcome CheckPacsAnswers(const DicomSettings& settings, SendInterrupt* interrupt)
{
    if (!settings.configured())
        return { SendOutcome::Retry, "The PACS is not set up (Config > PACS)." };
    return Echo(settings, kEchoTimeoutSeconds, interrupt, true);
}

SendOutcome StoreFile(const DicomSettings& settings, const std::string& dicomPath, const std::string& sopClassUid,
    const std::string& transferSyntaxUid, SendInterrupt* interrupt)
{
    SendOutcome o;
    if (!settings.configured()) {
        o.message = "The PACS is not set up (Config > PACS).";
        return o;
    }
    Association a(settings, PacsPeer(settings), kEchoTimeoutSeconds);
    a.setInterrupt(interrupt);
    a.scu().setDIMSETimeout(kStoreResponseSeconds);
    OFList<OFString> syntaxes;
    syntaxes.push_back(transferSyntaxUid.c_str());
    a.scu().addPresentationContext(sopClassUid.c_str(), syntaxes);
    o = a.Open();
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
        o.message = interrupt && interrupt->interrupted() ? std::string("The send was stopped: the station is closing.")
                                                          : std::string("The send was broken off: ") + c.text() + ".";
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
