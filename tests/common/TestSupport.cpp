#include "TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include <unistd.h>

namespace kestovar::test {

TempDir::TempDir()
{
    std::string templ = (std::filesystem::temp_directory_path() / "kestovar-test-XXXXXX").string();
    if (char* made = mkdtemp(templ.data()))
        path_ = made;
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ec);
}

std::string ReadFileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool WriteFileText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

bool PulseAudioAvailable()
{
    const char* server = std::getenv("PULSE_SERVER");
    if (!server || !*server)
        return false;
    return std::system("pactl info >/dev/null 2>&1") == 0;
}

} // namespace kestovar::test
