#include "LibraryFixtures.h"

#include "../capture/MediaFixtures.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include <unistd.h>

namespace kestovar::test {

namespace fs = std::filesystem;

std::string SampleMovie()
{
    const char* data = std::getenv("KESTOVAR_TEST_DATA");
    const fs::path dir = fs::path(data && *data ? data : fs::temp_directory_path().string()) / "library";
    const fs::path movie = dir / "sample_320x240.avi";
    std::error_code ec;
    if (fs::exists(movie, ec) && fs::file_size(movie, ec) > 0)
        return movie.string();
    fs::create_directories(dir, ec);
    // Made under another name first, so a run that stops halfway leaves no half movie.
    const fs::path partial = dir / ("sample_partial_" + std::to_string(::getpid()) + ".avi");
    if (!MakeRecordedAvi(partial.string(), 320, 240, 10, 1.0, true))
        return {};
    fs::rename(partial, movie, ec);
    return ec ? std::string() : movie.string();
}

bool CopyFile(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec) && !ec;
}

bool WriteTruncatedCopy(const fs::path& from, const fs::path& to, std::uintmax_t bytes)
{
    std::ifstream in(from, std::ios::binary);
    std::vector<char> data(bytes);
    in.read(data.data(), static_cast<std::streamsize>(bytes));
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out.write(data.data(), in.gcount());
    return static_cast<bool>(out);
}

bool WritePicture(const fs::path& path, QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(QString::fromStdString(path.string()), "JPG");
}

namespace {

void Put16(std::ofstream& out, int v)
{
    out.put(static_cast<char>((v >> 8) & 0xFF));
    out.put(static_cast<char>(v & 0xFF));
}

} // namespace

bool WriteGreyJpeg(const fs::path& path, int width, int height)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    auto bytes = [&out](std::initializer_list<int> list) {
        for (int b : list)
            out.put(static_cast<char>(b));
    };
    bytes({ 0xFF, 0xD8 }); // SOI
    bytes({ 0xFF, 0xDB }); // quantisation table 0: all ones
    Put16(out, 67);
    bytes({ 0x00 });
    for (int i = 0; i < 64; ++i)
        bytes({ 1 });
    bytes({ 0xFF, 0xC0 }); // baseline frame, one grey component
    Put16(out, 11);
    bytes({ 8 });
    Put16(out, height);
    Put16(out, width);
    bytes({ 1, 1, 0x11, 0 });
    // Two Huffman tables of one 1-bit code each: DC difference 0 and end of block, so
    // every 8x8 block is the two bits "00" and the picture is a flat mid grey.
    for (int table : { 0x00, 0x10 }) {
        bytes({ 0xFF, 0xC4 });
        Put16(out, 2 + 1 + 16 + 1);
        bytes({ table, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00 });
    }
    bytes({ 0xFF, 0xDA }); // scan
    Put16(out, 8);
    bytes({ 1, 1, 0x00, 0, 63, 0 });
    const long long blocks = static_cast<long long>((width + 7) / 8) * ((height + 7) / 8);
    const long long bits = blocks * 2;
    std::vector<char> zeros(1 << 16, 0);
    long long whole = bits / 8;
    while (whole > 0) {
        const long long n = std::min<long long>(whole, static_cast<long long>(zeros.size()));
        out.write(zeros.data(), static_cast<std::streamsize>(n));
        whole -= n;
    }
    if (const int rest = static_cast<int>(bits % 8))
        bytes({ 0xFF >> rest }); // the leftover bits are padded with ones
    bytes({ 0xFF, 0xD9 }); // EOI
    return static_cast<bool>(out);
}

bool WriteJpegWithClaimedSize(const fs::path& path, int width, int height)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(40, 160, 90));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG"))
        return false;
    // The frame header (SOF0) holds height then width after its length and precision.
    const int sof = data.indexOf(QByteArray("\xFF\xC0", 2));
    if (sof < 0)
        return false;
    data[sof + 5] = static_cast<char>((height >> 8) & 0xFF);
    data[sof + 6] = static_cast<char>(height & 0xFF);
    data[sof + 7] = static_cast<char>((width >> 8) & 0xFF);
    data[sof + 8] = static_cast<char>(width & 0xFF);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.constData(), data.size());
    return static_cast<bool>(out);
}

} // namespace kestovar::test
