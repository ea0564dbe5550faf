#pragma once
// A real modality worklist server for the tests: DCMTK's wlmscpfs on a free loopback
// port, serving the .wl files in <folder>/<AE title>, which the test writes with
// dump2dcm from dump text. It serves incomplete files too, as a lax hospital system
// would: the station must cope with what is missing.

#include "TestSupport.h"

#include <string>
#include <vector>
#include <sys/types.h>

namespace kestovar::test {

// One scheduled procedure step; empty attributes are left out of the file. Text is
// written as bytes, in the item's character set.
struct WorklistItem {
    std::string charset;
    std::string patientName, patientId = "P1", birthDate, sex;
    std::string accession, institution, physician;
    std::string stepDescription, requestedId = "RP1", requestedDescription, studyUid;
    std::string date; // today when empty
    std::string time = "100000";
    std::string modality = "ES";
    std::string station = "ROOM1";
};

class WorklistServer {
public:
    explicit WorklistServer(const std::string& folder, const std::string& aeTitle = "MWL");
    ~WorklistServer();

    // Writes <name>.wl; false when dump2dcm failed.
    bool Add(const std::string& name, const WorklistItem& item);
    // count files, patient IDs P0... and study UIDs of their own, in one shell run.
    bool AddMany(int count, const WorklistItem& item);

    // Starts it (with wlmscpfs's options, if any) and waits until it accepts
    // connections; false with why() when it cannot.
    bool Start(const std::vector<std::string>& options = {});
    // Ends it and the children it forked for associations still open.
    void Stop();

    int port() const { return port_; }
    const std::string& aeTitle() const { return aeTitle_; }
    const std::string& why() const { return why_; }
    // What it wrote so far (with "-v": each response as it goes out).
    std::string Log() const;

private:
    std::string folder_, aeTitle_, why_;
    int port_ = 0;
    pid_t pid_ = -1;
};

} // namespace kestovar::test
