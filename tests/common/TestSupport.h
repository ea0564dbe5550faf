#pragma once
// Helpers shared by every test executable.

#include <filesystem>
#include <string>

namespace kestovar::test {

// A fresh folder under the system's temporary folder, removed with everything in
// it when the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Whole file contents, or an empty string when it cannot be read.
std::string ReadFileText(const std::filesystem::path& path);
// Writes (replacing) a file; returns false when it cannot.
bool WriteFileText(const std::filesystem::path& path, const std::string& text);

// True when a PulseAudio server answers at $PULSE_SERVER (the test script starts one).
bool PulseAudioAvailable();

} // namespace kestovar::test
