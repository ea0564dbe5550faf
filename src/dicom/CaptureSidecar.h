#pragma once
// What DICOM keeps about one capture, in a small file beside it: knee_170226_140509.avi
// has knee_170226_140509.avi.dicom. The case information file stays exactly as it is.
//
// The file is a profile (INI) file, section "Dicom":
//   StudyInstanceUID, SeriesInstanceUID, SOPInstanceUID  made on the first send and
//       reused by every later one, so a resend replaces the PACS's copy instead of
//       adding a second; a movie's study is the study of its case information file
//   SendState  "queued", "sending", "sent" or "failed"; SendMessage  the reason of a failure
// A still picture has no case information file: the case fields it is sent with are
// kept in section "Case" (the case file's keys) so a resend carries the same names.
// A capture made for a procedure chosen from the worklist keeps it in section
// "Worklist": PatientID, PatientName (as the worklist stores it, "^" kept),
// ReadableName (as the form was filled), BirthDate, Sex, AccessionNumber,
// StudyInstanceUID, RequestedProcedureID, RequestedProcedureDescription.
//
// Writes are atomic (ProfileFile). Readers: the send worker and the media list.

#include "library/CaseInfoFile.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestovar {

enum class SendState { None, Queued, Sending, Sent, Failed };

std::string_view SendStateName(SendState state);
SendState SendStateFromName(std::string_view name);

// The ordered procedure a capture belongs to.
struct WorklistProcedure {
    std::string patientId, patientName, readableName, birthDate, sex;
    std::string accessionNumber, studyUid, requestedProcedureId, requestedProcedureDescription;
    bool operator==(const WorklistProcedure&) const = default;
};

struct CaptureSidecar {
    std::string studyUid;
    std::string seriesUid;
    std::string instanceUid;
    SendState state = SendState::None;
    std::string message;
    std::optional<CaseInfo> stillCase; // for pictures only
    std::optional<WorklistProcedure> procedure;
};

// Keeps the procedure with the capture (its study UID becomes the capture's study),
// keeping what the sidecar holds already.
bool AttachProcedure(const std::string& capturePath, const WorklistProcedure& procedure);

// "<capture>.dicom"
std::string SidecarPath(std::string_view capturePath);

// A missing or unreadable file gives an empty record.
CaptureSidecar ReadSidecar(const std::string& capturePath);
// Writes every key; false with `error` (errno) when it cannot.
bool WriteSidecar(const std::string& capturePath, const CaptureSidecar& sidecar, int* error = nullptr);
// Sets only the send state and message, keeping everything else.
bool WriteSendState(const std::string& capturePath, SendState state, std::string_view message);

// Gives the record the UIDs it lacks, made under root. True when one was made.
bool FillMissingUids(CaptureSidecar& sidecar, std::string_view root);

// Moves the sidecar along with its capture; true when there was none. Never replaces a file.
bool MoveSidecar(const std::string& oldCapturePath, const std::string& newCapturePath);
// Removes it with its capture.
void RemoveSidecar(const std::string& capturePath);

} // namespace kestovar
