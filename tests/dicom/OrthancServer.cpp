#include "OrthancServer.h"

#include <QJsonArray>
#include <QJsonObject>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestovar::test {

int FreeLoopbackPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

int RunCommand(const std::string& command, std::string* out, std::string* err)
{
    TempDir tmp;
    const std::string errFile = (tmp / "stderr").string();
    FILE* pipe = ::popen((command + " 2>" + errFile).c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, n);
    int status = ::pclose(pipe);
    if (out)
        *out = std::move(text);
    if (err)
        *err = ReadFileText(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

OrthancServer::OrthancServer(const std::string& folder, const std::string& aeTitle)
    : folder_(folder)
    , aeTitle_(aeTitle)
{
    httpPort_ = FreeLoopbackPort();
    do
        dicomPort_ = FreeLoopbackPort();
    while (dicomPort_ == httpPort_);
}

OrthancServer::~OrthancServer()
{
    Stop();
}

bool OrthancServer::Start(const OrthancTls* tls)
{
    if (::access("/usr/sbin/Orthanc", X_OK) != 0) {
        why_ = "Orthanc is not installed (Debian package orthanc; scripts/setup installs it)";
        return false;
    }
    std::filesystem::create_directories(folder_ + "/storage");
    std::string config = "{\n"
                         "  \"Name\": \"KestovarTest\",\n"
                         "  \"StorageDirectory\": \""
        + folder_ + "/storage\",\n  \"IndexDirectory\": \"" + folder_
        + "/storage\",\n"
          "  \"HttpPort\": "
        + std::to_string(httpPort_) + ",\n  \"DicomPort\": " + std::to_string(dicomPort_) + ",\n  \"DicomAet\": \""
        + aeTitle_
        + "\",\n"
          "  \"DicomCheckCalledAet\": true,\n"
          "  \"DicomAlwaysAllowStore\": false,\n"
          "  \"DicomAlwaysAllowEcho\": true,\n"
          "  \"DicomModalities\": { \"station\": [ \"KESTOVAR\", \"127.0.0.1\", 104 ] },\n"
          "  \"RemoteAccessAllowed\": false,\n"
          "  \"AuthenticationEnabled\": false,\n"
          "  \"HttpDescribeErrors\": true,\n"
          "  \"SaveJobs\": false,\n"
          "  \"Plugins\": [],\n";
    if (tls) {
        config += "  \"DicomTlsEnabled\": true,\n  \"DicomTlsCertificate\": \"" + tls->certificate
            + "\",\n  \"DicomTlsPrivateKey\": \"" + tls->privateKey + "\",\n  \"DicomTlsTrustedCertificates\": \""
            + tls->trusted + "\",\n  \"DicomTlsRemoteCertificateRequired\": true,\n";
    }
    config += "  \"StableAge\": 1\n}\n";
    const std::string configPath = folder_ + "/orthanc.json";
    WriteFileText(configPath, config);
    const std::string logPath = folder_ + "/orthanc.log";

    pid_ = ::fork();
    if (pid_ == 0) {
        int fd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        sched_param param {};
        if (idle_
            && (::sched_setscheduler(0, SCHED_IDLE, &param) != 0
                || ::syscall(SYS_ioprio_set, 1 /* IOPRIO_WHO_PROCESS */, 0, 3 << 13 /* IOPRIO_CLASS_IDLE */) != 0))
            ::_exit(126);
        ::execl("/usr/sbin/Orthanc", "Orthanc", configPath.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (WaitForServer(pid_, 30, [this] { return !Get("/system").empty(); }))
        return true;
    std::string log = ReadFileText(logPath);
    why_ = "Orthanc did not start: " + log.substr(log.size() > 600 ? log.size() - 600 : 0);
    Stop();
    return false;
}

void OrthancServer::Stop()
{
    StopServer(pid_);
}

bool WaitForServer(pid_t& pid, int seconds, const std::function<bool()>& up)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (pid > 0 && std::chrono::steady_clock::now() < deadline) {
        if (up())
            return true;
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void StopServer(pid_t& pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

std::string OrthancServer::Get(const std::string& uri) const
{
    std::string out;
    if (RunCommand("curl -sf --max-time 30 'http://127.0.0.1:" + std::to_string(httpPort_) + uri + "'", &out) != 0)
        return {};
    return out;
}

bool OrthancServer::Download(const std::string& uri, const std::string& path) const
{
    return RunCommand("curl -sf --max-time 120 -o '" + path + "' 'http://127.0.0.1:" + std::to_string(httpPort_) + uri
               + "'")
        == 0;
}

QJsonDocument OrthancServer::GetJson(const std::string& uri) const
{
    const std::string body = Get(uri);
    return QJsonDocument::fromJson(QByteArray(body.data(), qsizetype(body.size())));
}

std::vector<std::string> OrthancServer::Instances() const
{
    std::vector<std::string> ids;
    for (const QJsonValue& v : GetJson("/instances").array())
        ids.push_back(v.toString().toStdString());
    return ids;
}

} // namespace kestovar::test
