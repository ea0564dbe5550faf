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
// A SendInterrupt given to a call lets another thread break that call off at once.

#include "dicom/DicomSettings.h"

#include <atomic>
#include <mutex>
#include <string>

namespace kestovar {

// Breaks off the association of a running call from another thread (the station's
// close): the call's socket is shut down, so a transfer in the middle of an object, or
// one waiting on a PACS that stopped reading, fails at once instead of running to its
// end. Once interrupted, a connection made later is shut down as soon as it is made.
class SendInterrupt {
public:
    void Interrupt();
    bool interrupted() const { return interrupted_.load(); }
    // For work that checks a flag (making an object): set together with Interrupt.
    const std::atomic<bool>* flag() const { return &interrupted_; }

    // The connection of the running call; for the transport only.
    void Attach(int socket);
    void Detach(int socket);

private:
    std::mutex mutex_;
    std::atomic<bool> interrupted_ { false };
    int socket_ = -1;
};

struct SendOutcome {
    enum Kind { Done, Retry, Refused };
    Kind kind = Retry;
    std::string message;
    bool ok() const { return kind == Done; }
};

// Connect, establish and release within about timeoutSeconds.
inline constexpr int kEchoTimeoutSeconds = 5;
SendOutcome EchoPacs(
    const DicomSettings& settings, int timeoutSeconds = kEchoTimeoutSeconds, SendInterrupt* interrupt = nullptr);

// Whether the PACS takes an association from the station now (a C-ECHO on it), asked
// before a send makes its object, which for a movie may take minutes. Outcomes as
// StoreFile's: Retry when it cannot be reached, Refused when it rejects the station. A
// PACS that accepts the association but offers no C-ECHO counts as answering.
SendOutcome CheckPacsAnswers(const DicomSettings& settings, SendInterrupt* interrupt = nullptr);

// Sends the file (its SOP class and transfer syntax are proposed as they are). An
// interrupted send ends as Retry.
SendOutcome StoreFile(const DicomSettings& settings, const std::string& dicomPath, const std::string& sopClassUid,
    const std::string& transferSyntaxUid, SendInterrupt* interrupt = nullptr);

} // namespace kestovar
