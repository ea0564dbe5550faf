#pragma once
// A real Orthanc PACS for the tests: Debian's `Orthanc` run on loopback with its own
// configuration, free ports and a temporary storage folder, checked through its REST API.

#include "TestSupport.h"

#include <QJsonDocument>
#include <QString>

#include <functional>
#include <string>
#include <sys/types.h>

namespace kestovar::test {

// A port nothing listens on right now.
int FreeLoopbackPort();

// Waits up to `seconds` for `up()` while the server process `pid` runs; false (and
// pid -1) when it ended first or the time ran out.
bool WaitForServer(pid_t& pid, int seconds, const std::function<bool()>& up);
// Ends a server process: SIGTERM, five seconds, then SIGKILL. Sets pid to -1.
void StopServer(pid_t& pid);

struct OrthancTls {
    std::string certificate, privateKey, trusted; // PEM files
};

class OrthancServer {
public:
    explicit OrthancServer(const std::string& folder, const std::string& aeTitle = "ORTHANC");
    ~OrthancServer();

    // Starts it and waits until its REST API answers; false with why() when it cannot.
    bool Start(const OrthancTls* tls = nullptr);
    // Runs it (every thread of it) in the idle scheduling and I/O classes: a benchmark's
    // stand-in for a PACS on another machine then takes only processor time and disk
    // time the station it measures leaves unused.
    void setIdle(bool idle) { idle_ = idle; }
    void Stop();

    int dicomPort() const { return dicomPort_; }
    pid_t pid() const { return pid_; }
    const std::string& why() const { return why_; }

    // GET on the REST API: the body, or empty.
    std::string Get(const std::string& uri) const;
    QJsonDocument GetJson(const std::string& uri) const;
    // GET on the REST API straight into a file (for objects too large to hold).
    bool Download(const std::string& uri, const std::string& path) const;
    // Instance ids.
    std::vector<std::string> Instances() const;

private:
    std::string folder_, aeTitle_, why_;
    int httpPort_ = 0, dicomPort_ = 0;
    pid_t pid_ = -1;
    bool idle_ = false;
};

// Runs a command line; its standard output (stderr into *err when given) and exit code.
int RunCommand(const std::string& command, std::string* out = nullptr, std::string* err = nullptr);

} // namespace kestovar::test
