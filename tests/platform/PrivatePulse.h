#pragma once
// A PulseAudio daemon of the test's own, which the test may stop and start again (as
// an upgrade or a crash of the desktop's sound server does), with the same null sink
// and camera-named microphone as scripts/test's daemon and the same socket each time.
// While it exists, PULSE_SERVER points at it; the old value comes back afterwards.

#include "TestSupport.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace kestovar::test {

class PrivatePulse {
public:
    PrivatePulse()
    {
        if (const char* old = std::getenv("PULSE_SERVER"))
            oldServer_ = old;
        setenv("PULSE_SERVER", ("unix:" + Socket()).c_str(), 1);
    }
    ~PrivatePulse()
    {
        Stop();
        if (oldServer_.empty())
            unsetenv("PULSE_SERVER");
        else
            setenv("PULSE_SERVER", oldServer_.c_str(), 1);
    }
    PrivatePulse(const PrivatePulse&) = delete;
    PrivatePulse& operator=(const PrivatePulse&) = delete;

    // Starts the daemon and waits until it answers; false (with Why()) when it cannot.
    bool Start()
    {
        const std::string dir = dir_.str();
        pid_ = fork();
        if (pid_ == 0) {
            setenv("HOME", dir.c_str(), 1);
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
            setenv("PULSE_STATE_PATH", (dir + "/state").c_str(), 1);
            setenv("PULSE_CONFIG_PATH", (dir + "/state").c_str(), 1);
            const std::string log = dir + "/daemon.log";
            if (!freopen(log.c_str(), "a", stdout) || !freopen(log.c_str(), "a", stderr))
                _exit(126);
            const std::string native = "--load=module-native-protocol-unix socket=" + Socket();
            execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                "--use-pid-file=false", "--disallow-exit",
                "--load=module-null-sink sink_name=nullsink rate=48000 channels=2", native.c_str(),
                "--load=module-remap-source source_name=cammic master=nullsink.monitor "
                "source_properties='device.description=\"USB Audio ADC Ver1.0\"'",
                static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid_ < 0) {
            why_ = "cannot fork";
            return false;
        }
        const std::string probe = "pactl -s unix:" + Socket() + " info >/dev/null 2>&1";
        for (int i = 0; i < 100; ++i) {
            if (std::system(probe.c_str()) == 0)
                return true;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                why_ = "pulseaudio could not start: " + ReadFileText(dir_ / "daemon.log");
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        why_ = "pulseaudio does not answer: " + ReadFileText(dir_ / "daemon.log");
        Stop();
        return false;
    }

    // Ends the daemon (its clients see the connection break) and waits until it is gone.
    void Stop()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    const std::string& Why() const { return why_; }
    std::string Socket() const { return dir_.str() + "/native"; }

private:
    TempDir dir_;
    pid_t pid_ = -1;
    std::string oldServer_;
    std::string why_;
};

} // namespace kestovar::test
