#include "dicom/CaptureSidecar.h"

#include "dicom/DicomUids.h"
#include "library/MediaFileOperations.h"
#include "platform/ProfileFile.h"
#include "platform/RenameNoReplace.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace kestovar {

namespace {

constexpr std::string_view kSection = "Dicom";
constexpr std::string_view kCaseSection = "Case";
constexpr std::string_view kWorklistSection = "Worklist";

// The Worklist section's keys and their fields, in the file's order.
struct ProcedureKey {
    std::string_view key;
    std::string WorklistProcedure::*field;
};
constexpr ProcedureKey kProcedureKeys[] = {
    { "PatientID", &WorklistProcedure::patientId },
    { "PatientName", &WorklistProcedure::patientName },
    { "ReadableName", &WorklistProcedure::readableName },
    { "BirthDate", &WorklistProcedure::birthDate },
    { "Sex", &WorklistProcedure::sex },
    { "AccessionNumber", &WorklistProcedure::accessionNumber },
    { "StudyInstanceUID", &WorklistProcedure::studyUid },
    { "RequestedProcedureID", &WorklistProcedure::requestedProcedureId },
    { "RequestedProcedureDescription", &WorklistProcedure::requestedProcedureDescription },
};
constexpr std::size_t kMaxValue = 4096;

} // namespace

std::string_view SendStateName(SendState state)
{
    switch (state) {
    case SendState::Queued: return "queued";
    case SendState::Sending: return "sending";
    case SendState::Sent: return "sent";
    case SendState::Failed: return "failed";
    case SendState::None: break;
    }
    return "";
}

SendState SendStateFromName(std::string_view name)
{
    for (SendState s : { SendState::Queued, SendState::Sending, SendState::Sent, SendState::Failed }) {
        if (SendStateName(s) == name)
            return s;
    }
    return SendState::None;
}

std::string SidecarPath(std::string_view capturePath)
{
    return DicomSidecarPath(capturePath);
}

CaptureSidecar ReadSidecar(const std::string& capturePath)
{
    CaptureSidecar s;
    ProfileFile file = ProfileFile::Load(SidecarPath(capturePath));
    auto get = [&](std::string_view section, std::string_view key) {
        return file.GetString(section, key, "", kMaxValue);
    };
    s.studyUid = get(kSection, "StudyInstanceUID");
    s.seriesUid = get(kSection, "SeriesInstanceUID");
    s.instanceUid = get(kSection, "SOPInstanceUID");
    s.state = SendStateFromName(get(kSection, "SendState"));
    s.message = DecodeCaseValue(get(kSection, "SendMessage"));
    if (file.Find(kCaseSection, kCaseKeyPatientName)) {
        CaseInfo c;
        c.date = DecodeCaseValue(get(kCaseSection, kCaseKeyDate));
        c.fileName = DecodeCaseValue(get(kCaseSection, kCaseKeyFileName));
        c.doctorName = DecodeCaseValue(get(kCaseSection, kCaseKeyDoctorName));
        c.patientName = DecodeCaseValue(get(kCaseSection, kCaseKeyPatientName));
        c.hospitalName = DecodeCaseValue(get(kCaseSection, kCaseKeyHospitalName));
        c.comment = DecodeCaseValue(get(kCaseSection, kCaseKeyComment));
        s.stillCase = c;
    }
    if (file.Find(kWorklistSection, "PatientID")) {
        WorklistProcedure p;
        for (const ProcedureKey& k : kProcedureKeys)
            p.*k.field = DecodeCaseValue(get(kWorklistSection, k.key));
        s.procedure = p;
    }
    return s;
}

bool WriteSidecar(const std::string& capturePath, const CaptureSidecar& s, int* error)
{
    const std::string path = SidecarPath(capturePath);
    ProfileFile file = ProfileFile::Load(path);
    bool ok = file.SetString(kSection, "StudyInstanceUID", s.studyUid)
        && file.SetString(kSection, "SeriesInstanceUID", s.seriesUid)
        && file.SetString(kSection, "SOPInstanceUID", s.instanceUid)
        && file.SetString(kSection, "SendState", SendStateName(s.state))
        && file.SetString(kSection, "SendMessage", EncodeCaseValue(s.message));
    if (ok && s.stillCase) {
        const CaseInfo& c = *s.stillCase;
        ok = file.SetString(kCaseSection, kCaseKeyDate, EncodeCaseValue(c.date))
            && file.SetString(kCaseSection, kCaseKeyFileName, EncodeCaseValue(c.fileName))
            && file.SetString(kCaseSection, kCaseKeyDoctorName, EncodeCaseValue(c.doctorName))
            && file.SetString(kCaseSection, kCaseKeyPatientName, EncodeCaseValue(c.patientName))
            && file.SetString(kCaseSection, kCaseKeyHospitalName, EncodeCaseValue(c.hospitalName))
            && file.SetString(kCaseSection, kCaseKeyComment, EncodeCaseValue(c.comment));
    }
    if (ok && s.procedure) {
        for (const ProcedureKey& k : kProcedureKeys)
            ok = ok && file.SetString(kWorklistSection, k.key, EncodeCaseValue((*s.procedure).*k.field));
    }
    if (!ok) {
        if (error)
            *error = EINVAL;
        return false;
    }
    ProfileWriteResult r = file.Save(path);
    if (!r.ok && error)
        *error = r.error;
    return r.ok;
}

bool WriteSendState(const std::string& capturePath, SendState state, std::string_view message)
{
    CaptureSidecar s = ReadSidecar(capturePath);
    s.state = state;
    s.message = std::string(message);
    return WriteSidecar(capturePath, s);
}

bool AttachProcedure(const std::string& capturePath, const WorklistProcedure& procedure)
{
    CaptureSidecar s = ReadSidecar(capturePath);
    s.procedure = procedure;
    if (!procedure.studyUid.empty())
        s.studyUid = procedure.studyUid;
    return WriteSidecar(capturePath, s);
}

bool FillMissingUids(CaptureSidecar& s, std::string_view root)
{
    bool made = false;
    for (std::string* uid : { &s.studyUid, &s.seriesUid, &s.instanceUid }) {
        if (uid->empty()) {
            *uid = MakeUid(root);
            made = true;
        }
    }
    return made;
}

bool MoveSidecar(const std::string& oldCapturePath, const std::string& newCapturePath)
{
    const std::string from = SidecarPath(oldCapturePath);
    if (::access(from.c_str(), F_OK) != 0)
        return true;
    return RenameNoReplace(from, SidecarPath(newCapturePath)) == 0;
}

void RemoveSidecar(const std::string& capturePath)
{
    std::remove(SidecarPath(capturePath).c_str());
}

} // namespace kestovar
