#include "WorklistServer.h"

#include "OrthancServer.h"

#include <QDate>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestovar::test {

namespace {

std::string DumpText(const WorklistItem& item)
{
    std::string d;
    auto add = [&](const char* tag, const char* vr, const std::string& value) {
        if (!value.empty())
            d += std::string(tag) + " " + vr + " [" + value + "]\n";
    };
    add("(0008,0005)", "CS", item.charset);
    add("(0008,0050)", "SH", item.accession);
    add("(0008,0080)", "LO", item.institution);
    add("(0010,0010)", "PN", item.patientName);
    add("(0010,0020)", "LO", item.patientId);
    add("(0010,0030)", "DA", item.birthDate);
    add("(0010,0040)", "CS", item.sex);
    add("(0020,000d)", "UI",
        item.studyUid.empty() ? "1.2.826.0.1.3680043.2.1125.9."
                + std::to_string(std::hash<std::string>()(item.patientId) % 1000000)
                              : item.studyUid);
    add("(0032,1060)", "LO", item.requestedDescription);
    add("(0040,1001)", "SH", item.requestedId);
    d += "(0040,0100) SQ (Sequence with undefined length)\n(fffe,e000) na (Item with undefined length)\n";
    add("(0008,0060)", "CS", item.modality);
    add("(0040,0001)", "AE", item.station);
    add("(0040,0002)", "DA",
        item.date.empty() ? QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString()
                          : item.date);
    add("(0040,0003)", "TM", item.time);
    add("(0040,0006)", "PN", item.physician);
    add("(0040,0007)", "LO", item.stepDescription);
    add("(0040,0009)", "SH", "SPS1");
    d += "(fffe,e00d) na (ItemDelimitationItem)\n(fffe,e0dd) na (SequenceDelimitationItem)\n";
    return d;
}

bool Accepts(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(uint16_t(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

} // namespace

WorklistServer::WorklistServer(const std::string& folder, const std::string& aeTitle)
    : folder_(folder + "/worklists")
    , aeTitle_(aeTitle)
    , port_(FreeLoopbackPort())
{
    std::filesystem::create_directories(folder_ + "/" + aeTitle_);
    WriteFileText(folder_ + "/" + aeTitle_ + "/lockfile", "");
}

WorklistServer::~WorklistServer()
{
    Stop();
}

bool WorklistServer::Add(const std::string& name, const WorklistItem& item)
{
    const std::string dump = folder_ + "/" + name + ".dump";
    WriteFileText(dump, DumpText(item));
    std::string err;
    return RunCommand(
               "dump2dcm -q '" + dump + "' '" + folder_ + "/" + aeTitle_ + "/" + name + ".wl'", nullptr, &err)
        == 0;
}

bool WorklistServer::AddMany(int count, const WorklistItem& item)
{
    // One dump with a placeholder, made into count files by one shell loop.
    WorklistItem templ = item;
    templ.patientId = "P@N@";
    templ.studyUid = "1.2.826.0.1.3680043.2.1125.7.@N@";
    templ.accession = "A@N@";
    const std::string dump = folder_ + "/many.dump";
    WriteFileText(dump, DumpText(templ));
    const std::string target = folder_ + "/" + aeTitle_;
    return RunCommand("for n in $(seq 0 " + std::to_string(count - 1) + "); do sed \"s/@N@/$n/g\" '" + dump
               + "' > '" + folder_ + "/one.dump' && dump2dcm -q '" + folder_ + "/one.dump' '" + target
               + "'/many$n.wl || exit 1; done")
        == 0;
}

bool WorklistServer::Start(const std::vector<std::string>& options)
{
    if (::access("/usr/bin/wlmscpfs", X_OK) != 0) {
        why_ = "wlmscpfs is not installed (Debian package dcmtk; scripts/setup installs it)";
        return false;
    }
    const std::string logPath = folder_ + "/wlmscpfs.log";
    // Everything the child needs is made before the fork (no allocation after it).
    std::vector<std::string> args { "wlmscpfs", "--data-files-path", folder_, "--keep-char-set",
        "--disable-file-reject" };
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(std::to_string(port_));
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setpgid(0, 0); // its own group: the children it forks per association go with it
        int fd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::execv("/usr/bin/wlmscpfs", argv.data());
        ::_exit(127);
    }
    if (WaitForServer(pid_, 15, [this] { return Accepts(port_); }))
        return true;
    why_ = "wlmscpfs did not start: " + Log();
    Stop();
    return false;
}

std::string WorklistServer::Log() const
{
    return ReadFileText(folder_ + "/wlmscpfs.log");
}

void WorklistServer::Stop()
{
    // wlmscpfs forks a child for each association, which inherits the listening socket:
    // a child still busy would keep the port accepting after its parent is gone.
    const pid_t group = pid_;
    if (group > 1)
        ::kill(-group, SIGTERM);
    StopServer(pid_);
    if (group > 1)
        ::kill(-group, SIGKILL);
}

} // namespace kestovar::test
