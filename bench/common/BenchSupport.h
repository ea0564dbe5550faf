#pragma once
// Small helpers every benchmark shares: medians and percentiles, the table row, the
// process's CPU time and resident memory, and running a command for its output.

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace kestovar::bench {

inline double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Nearest-rank percentile (p in 0..100).
inline double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = static_cast<size_t>(std::ceil(p / 100.0 * v.size()));
    return v[std::min(v.size() - 1, rank == 0 ? 0 : rank - 1)];
}

// One line of the table: "figure | ours | reference | ratio". The reference is an
// ffmpeg figure or a goal; the ratio is ours / reference, "-" when it means nothing.
inline void Row(const std::string& figure, const std::string& ours, const std::string& reference,
    const std::string& ratio)
{
    std::printf("%s | %s | %s | %s\n", figure.c_str(), ours.c_str(), reference.c_str(), ratio.c_str());
    std::fflush(stdout);
}

inline std::string Format(const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

inline std::string Ratio(double ours, double reference)
{
    return reference > 0 ? Format("%.2f", ours / reference) : "-";
}

// User + system CPU seconds of the whole process so far.
inline double ProcessCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Resident set size in bytes (VmRSS of /proc/self/status); 0 when unknown.
inline double ResidentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) * 1024.0;
    return 0;
}

// Runs a shell command and returns what it printed (stdout and stderr); `ok` tells
// whether it exited with status 0.
inline std::string RunCommand(const std::string& command, bool* ok = nullptr)
{
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        if (ok)
            *ok = false;
        return output;
    }
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    if (ok)
        *ok = status == 0;
    return output;
}

// The "rtime=" figure of `ffmpeg -benchmark` (seconds of its transcoding loop, without
// process start and input probing); 0 when absent.
inline double FfmpegRealTime(const std::string& output)
{
    double rtime = 0;
    for (size_t at = output.find("rtime="); at != std::string::npos; at = output.find("rtime=", at + 1))
        rtime = std::atof(output.c_str() + at + 6);
    return rtime;
}

// The "utime=" plus "stime=" figures of `ffmpeg -benchmark`: CPU seconds of its
// transcoding loop; 0 when absent.
inline double FfmpegCpuTime(const std::string& output)
{
    const size_t at = output.rfind("utime=");
    const size_t st = output.rfind("stime=");
    if (at == std::string::npos || st == std::string::npos)
        return 0;
    return std::atof(output.c_str() + at + 6) + std::atof(output.c_str() + st + 6);
}

} // namespace kestovar::bench
