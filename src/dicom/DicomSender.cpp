#include "dicom/DicomSender.h"

#include "dicom/DicomAssociation.h"

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

} // namespace

namespace detail {

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

SendOutcome EchoPacs(const DicomSettings& settings, int timeoutSeconds)
{
    SendOutcome o;
    o.kind = SendOutcome::Refused;
    if (!settings.configured()) {
        o.message = "The PACS's host, port and AE title are not set.";
        return o;
    }
    Association a(settings, PacsPeer(settings), timeoutSeconds);
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    a.scu().addPresentationContext(UID_VerificationSOPClass, syntaxes);
    o = a.Open();
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
    Association a(settings, PacsPeer(settings), kEchoTimeoutSeconds);
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
