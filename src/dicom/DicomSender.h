#pragma once
// One association with the PACS (DCMTK's DcmSCU, with DcmTLSTransportLayer when TLS is
// on): a C-ECHO to test the connection, or a C-STORE of one DICOM file.
//
// The outcome sorts failures the way the queue needs them:
//   Retry    the PACS could not be reached, went away mid-way or is out of resources:
//            the same send may succeed later.
//   Refused  the PACS said no (association rejected: an unknown AE title; the object's
//            kind or transfer syntax not accepted; a C-STORE failure status), or the
//            station's TLS files are unusable: sending again unchanged would fail again.
// Messages are in plain words for the operator, with the PACS's own reason.
//
// Threads: any; each call makes its own association. A file is streamed from disk.

#include "dicom/DicomSettings.h"

#include <string>

namespace kestovar {

struct SendOutcome {
    enum Kind { Done, Retry, Refused };
    Kind kind = Retry;
    std::string message;
    bool ok() const { return kind == Done; }
};

// Connect, establish and release within about timeoutSeconds.
inline constexpr int kEchoTimeoutSeconds = 5;
SendOutcome EchoPacs(const DicomSettings& settings, int timeoutSeconds = kEchoTimeoutSeconds);

// Sends the file (its SOP class and transfer syntax are proposed as they are).
SendOutcome StoreFile(const DicomSettings& settings, const std::string& dicomPath, const std::string& sopClassUid,
    const std::string& transferSyntaxUid);

} // namespace kestovar
