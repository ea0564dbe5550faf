#include "dicom/DicomObjects.h"

#include "dicom/VideoStream.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmf.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcsequen.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <vector>

namespace kestovar {

namespace {

constexpr std::size_t kMaxPersonGroup = 64; // PN: characters per component group
constexpr std::size_t kMaxLongString = 64; // LO
constexpr std::size_t kMaxLongText = 10240; // LT
constexpr std::size_t kMaxShortString = 16; // SH

bool IsMovie(const std::string& path)
{
    if (path.size() < 3)
        return false;
    std::string ext = path.substr(path.size() - 3);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == "avi";
}

std::string FormatTime(std::time_t t, const char* format)
{
    std::tm tm {};
    localtime_r(&t, &tm);
    char text[32] = {};
    std::strftime(text, sizeof text, format, &tm);
    return text;
}

// Attributes every object of the station carries.
OFCondition PutCommon(DcmDataset& ds, const ObjectRequest& req, const char* sopClass, std::time_t when)
{
    const CaseInfo& c = req.caseInfo;
    // A capture of a procedure from the worklist: the patient and the order as the
    // hospital's system gave them, so the object joins the ordered study.
    const WorklistProcedure none;
    const WorklistProcedure& p = req.uids.procedure ? *req.uids.procedure : none;
    const bool ordered = req.uids.procedure.has_value();
    const std::string date = FormatTime(when, "%Y%m%d");
    const std::string time = FormatTime(when, "%H%M%S");
    struct Value {
        const DcmTagKey& tag;
        std::string text;
    };
    const Value values[] = {
        { DCM_SpecificCharacterSet, "ISO_IR 192" },
        { DCM_SOPClassUID, sopClass },
        { DCM_SOPInstanceUID, req.uids.instanceUid },
        { DCM_StudyInstanceUID, req.uids.studyUid },
        { DCM_SeriesInstanceUID, req.uids.seriesUid },
        // Patient: without a worklist only the name is known; the rest stays empty,
        // never made up.
        { DCM_PatientName, ordered && !p.patientName.empty() ? p.patientName : DicomPersonName(c.patientName) },
        { DCM_PatientID, p.patientId },
        { DCM_PatientBirthDate, p.birthDate },
        { DCM_PatientSex, p.sex },
        // Study
        { DCM_StudyDate, date },
        { DCM_StudyTime, time },
        { DCM_ReferringPhysicianName, "" },
        { DCM_StudyID, "" },
        { DCM_AccessionNumber, p.accessionNumber },
        // Series and equipment
        { DCM_Modality, "ES" },
        { DCM_SeriesNumber, "1" },
        { DCM_SeriesDate, date },
        { DCM_SeriesTime, time },
        { DCM_PerformingPhysicianName, DicomPersonName(c.doctorName) },
        { DCM_Manufacturer, "Kestovar" },
        { DCM_InstitutionName, CutUtf8(c.hospitalName, kMaxLongString) },
        { DCM_StationName, CutUtf8(req.stationName, kMaxShortString) },
        // Image
        { DCM_InstanceNumber, "1" },
        { DCM_PatientOrientation, "" },
        { DCM_ContentDate, date },
        { DCM_ContentTime, time },
        { DCM_AcquisitionDateTime, date + time },
        { DCM_ImageType, "ORIGINAL\\PRIMARY" },
        { DCM_LossyImageCompression, "01" },
    };
    for (const Value& v : values) {
        OFCondition cond = ds.putAndInsertString(v.tag, v.text.c_str());
        if (cond.bad())
            return cond;
    }
    if (!c.comment.empty()) {
        OFCondition cond = ds.putAndInsertString(DCM_ImageComments, CutUtf8(c.comment, kMaxLongText).c_str());
        if (cond.bad())
            return cond;
    }
    if (ordered) {
        // The order this capture answers (Request Attributes Sequence).
        DcmItem* request = nullptr;
        OFCondition cond = ds.findOrCreateSequenceItem(DCM_RequestAttributesSequence, request);
        if (cond.bad() || !request)
            return cond.bad() ? cond : EC_MemoryExhausted;
        const Value requested[] = {
            { DCM_AccessionNumber, p.accessionNumber },
            { DCM_StudyInstanceUID, p.studyUid },
            { DCM_RequestedProcedureID, p.requestedProcedureId },
            { DCM_RequestedProcedureDescription, p.requestedProcedureDescription },
        };
        for (const Value& v : requested) {
            if (!v.text.empty() && (cond = request->putAndInsertString(v.tag, v.text.c_str())).bad())
                return cond;
        }
    }
    // Type 2 in the VL Endoscopic and Video Endoscopic Image modules: present, empty.
    return ds.insertEmptyElement(DCM_AcquisitionContextSequence);
}

OFCondition PutPixelModule(DcmDataset& ds, int rows, int columns, int samples, const char* photometric)
{
    OFCondition c = ds.putAndInsertUint16(DCM_Rows, Uint16(rows));
    if (c.good())
        c = ds.putAndInsertUint16(DCM_Columns, Uint16(columns));
    if (c.good())
        c = ds.putAndInsertUint16(DCM_SamplesPerPixel, Uint16(samples));
    if (c.good())
        c = ds.putAndInsertString(DCM_PhotometricInterpretation, photometric);
    if (c.good())
        c = ds.putAndInsertUint16(DCM_BitsAllocated, 8);
    if (c.good())
        c = ds.putAndInsertUint16(DCM_BitsStored, 8);
    if (c.good())
        c = ds.putAndInsertUint16(DCM_HighBit, 7);
    if (c.good())
        c = ds.putAndInsertUint16(DCM_PixelRepresentation, 0);
    if (c.good() && samples > 1)
        c = ds.putAndInsertUint16(DCM_PlanarConfiguration, 0);
    return c;
}

// The movie's one sound channel as the Multiplexed Audio Channels Description Code
// Sequence describes it: channel 1 (the main one), mono or stereo, and its source, a
// code of context group CID 3000 (Audio Channel Source). The microphone in the camera
// hears the whole operating room: (109112, DCM, "Ambient room environment").
OFCondition PutAudioChannel(DcmDataset& ds, int channels)
{
    DcmItem* channel = nullptr;
    OFCondition c = ds.findOrCreateSequenceItem(DCM_MultiplexedAudioChannelsDescriptionCodeSequence, channel, 0);
    if (c.good())
        c = channel->putAndInsertString(DCM_ChannelIdentificationCode, "1");
    if (c.good())
        c = channel->putAndInsertString(DCM_ChannelMode, channels == 1 ? "MONO" : "STEREO");
    DcmItem* source = nullptr;
    if (c.good())
        c = channel->findOrCreateSequenceItem(DCM_ChannelSourceSequence, source, 0);
    if (c.good())
        c = source->putAndInsertString(DCM_CodeValue, "109112");
    if (c.good())
        c = source->putAndInsertString(DCM_CodingSchemeDesignator, "DCM");
    if (c.good())
        c = source->putAndInsertString(DCM_CodeMeaning, "Ambient room environment");
    return c;
}

// The encapsulated pixel data: an empty offset table and one fragment.
OFCondition PutFragment(DcmDataset& ds, E_TransferSyntax xfer, DcmPixelItem* fragment)
{
    auto* seq = new DcmPixelSequence(DCM_PixelSequenceTag);
    seq->insert(new DcmPixelItem(DCM_PixelItemTag));
    seq->insert(fragment);
    auto* pixelData = new DcmPixelData(DCM_PixelData);
    pixelData->putOriginalRepresentation(xfer, nullptr, seq);
    return ds.insert(pixelData, true);
}

// Puts the fragment as the pixel data and saves the object, when `c` (the building so
// far, the fragment's filling included) is good. Otherwise, or when that fails, the
// fragment is released, no file is left and `message` says why.
bool SaveWithFragment(DcmFileFormat& file, OFCondition c, DcmPixelItem* fragment, E_TransferSyntax xfer,
    const std::string& outPath, std::string& message)
{
    if (c.good())
        c = PutFragment(*file.getDataset(), xfer, fragment);
    else
        delete fragment;
    if (c.good())
        c = file.saveFile(outPath.c_str(), xfer, EET_ExplicitLength, EGL_recalcGL, EPD_noChange, 0, 0, EWM_createNewMeta);
    if (c.good())
        return true;
    message = std::string("The DICOM object cannot be written: ") + c.text() + ".";
    std::remove(outPath.c_str());
    return false;
}

struct JpegFacts {
    bool ok = false;
    std::string problem;
    int width = 0, height = 0, components = 0;
};

// Walks the JPEG's markers up to its frame header: a baseline (SOF0), 8-bit frame is
// what the JPEG Baseline transfer syntax may carry. The file must also end where a
// JPEG ends (EOI), so a file cut short is not sent as if whole.
JpegFacts ReadJpegFacts(const std::vector<unsigned char>& b)
{
    JpegFacts f;
    const std::size_t n = b.size();
    if (n < 4 || b[0] != 0xFF || b[1] != 0xD8) {
        f.problem = "it is not a JPEG picture";
        return f;
    }
    std::size_t end = n;
    while (end > 2 && b[end - 1] == 0)
        --end; // padding some writers leave
    if (b[end - 2] != 0xFF || b[end - 1] != 0xD9) {
        f.problem = "the picture file is cut short";
        return f;
    }
    std::size_t i = 2;
    while (i + 4 <= n) {
        if (b[i] != 0xFF) {
            f.problem = "the picture's headers are damaged";
            return f;
        }
        const unsigned char marker = b[i + 1];
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        const std::size_t len = (std::size_t(b[i + 2]) << 8) | b[i + 3];
        if (len < 2 || i + 2 + len > n) {
            f.problem = "the picture's headers are damaged";
            return f;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (marker != 0xC0) {
                f.problem = "the picture is not a baseline JPEG";
                return f;
            }
            if (len < 8 || b[i + 4] != 8) {
                f.problem = "the picture is not an 8-bit JPEG";
                return f;
            }
            f.height = (b[i + 5] << 8) | b[i + 6];
            f.width = (b[i + 7] << 8) | b[i + 8];
            f.components = b[i + 9];
            f.ok = f.width > 0 && f.height > 0 && (f.components == 1 || f.components == 3);
            if (!f.ok)
                f.problem = "the picture's size or colours are damaged";
            return f;
        }
        if (marker == 0xDA || marker == 0xD9) {
            break;
        }
        i += 2 + len;
    }
    f.problem = "the picture has no frame header";
    return f;
}

ObjectResult WriteStill(const ObjectRequest& req, const std::string& outPath)
{
    ObjectResult r;
    r.sopClassUid = kVlEndoscopicImageStorage;
    r.transferSyntaxUid = kJpegBaselineSyntax;
    std::ifstream in(req.capturePath, std::ios::binary);
    if (!in) {
        r.message = "The picture cannot be read.";
        return r;
    }
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() >= 0xFFFFFFF0u) {
        r.message = "The picture is too large.";
        return r;
    }
    JpegFacts facts = ReadJpegFacts(bytes);
    if (!facts.ok) {
        r.message = "The picture cannot be sent: " + facts.problem + ".";
        return r;
    }
    DcmFileFormat file;
    DcmDataset& ds = *file.getDataset();
    OFCondition c = PutCommon(ds, req, kVlEndoscopicImageStorage, CaptureTime(req.capturePath));
    if (c.good())
        c = ds.putAndInsertString(DCM_LossyImageCompressionMethod, "ISO_10918_1");
    if (c.good())
        c = PutPixelModule(ds, facts.height, facts.width, facts.components,
            facts.components == 3 ? "YBR_FULL_422" : "MONOCHROME2");
    DcmPixelItem* fragment = nullptr;
    if (c.good()) {
        fragment = new DcmPixelItem(DCM_PixelItemTag);
        c = fragment->putUint8Array(bytes.data(), Uint32(bytes.size()));
    }
    if (!SaveWithFragment(file, c, fragment, EXS_JPEGProcess1, outPath, r.message))
        return r;
    r.ok = true;
    r.frames = 1;
    return r;
}

ObjectResult WriteMovie(const ObjectRequest& req, const std::string& outPath, const std::atomic<bool>* cancel)
{
    ObjectResult r;
    r.sopClassUid = kVideoEndoscopicImageStorage;
    r.transferSyntaxUid = kH264HighProfile41Syntax;
    const std::string streamPath = req.tempFolder + "/" + req.uids.instanceUid + ".ts";
    struct RemoveOnExit {
        std::string path;
        ~RemoveOnExit() { std::remove(path.c_str()); }
    } cleanup { streamPath };

    VideoStreamResult v = WriteDicomVideoStream(req.capturePath, streamPath, cancel);
    if (!v.ok) {
        r.message = v.message;
        return r;
    }
    r.frames = v.frames;
    r.reencoded = !v.copied;
    r.withSound = v.withSound;
    struct stat st {};
    if (::stat(streamPath.c_str(), &st) != 0) {
        r.message = "The temporary movie stream went missing.";
        return r;
    }
    uint64_t size = uint64_t(st.st_size);
    if (size % 2 != 0) {
        // A fragment has an even length; the transport stream's packets make it so, but
        // a stray byte is padded rather than refused.
        if (FILE* f = std::fopen(streamPath.c_str(), "ab")) {
            std::fputc(0, f);
            std::fclose(f);
            ++size;
        }
    }
    if (size >= 0xFFFFFFFEull) {
        r.message = "The movie is too large for one DICOM object (4 GB); shorten it with a smaller size limit.";
        return r;
    }
    const double fps = v.fpsDen > 0 ? double(v.fpsNum) / v.fpsDen : 30.0;
    char frameTime[32];
    std::snprintf(frameTime, sizeof frameTime, "%.6g", 1000.0 / fps);
    const std::string rate = std::to_string(int(fps + 0.5));

    DcmFileFormat file;
    DcmDataset& ds = *file.getDataset();
    OFCondition c = PutCommon(ds, req, kVideoEndoscopicImageStorage, CaptureTime(req.capturePath));
    if (c.good())
        c = ds.putAndInsertString(DCM_LossyImageCompressionMethod, "ISO_14496_10");
    if (c.good())
        c = PutPixelModule(ds, v.height, v.width, 3, "YBR_PARTIAL_420");
    if (c.good())
        c = ds.putAndInsertString(DCM_NumberOfFrames, std::to_string(v.frames).c_str());
    if (c.good())
        c = ds.putAndInsertTagKey(DCM_FrameIncrementPointer, DCM_FrameTime);
    if (c.good())
        c = ds.putAndInsertString(DCM_FrameTime, frameTime);
    if (c.good())
        c = ds.putAndInsertString(DCM_CineRate, rate.c_str());
    if (c.good())
        c = ds.putAndInsertString(DCM_RecommendedDisplayFrameRate, rate.c_str());
    // Cine module, type 2C: present when the stream interleaves sound, one item for its
    // one channel.
    if (c.good() && v.withSound)
        c = PutAudioChannel(ds, v.soundChannels);
    DcmPixelItem* fragment = nullptr;
    if (c.good()) {
        fragment = new DcmPixelItem(DCM_PixelItemTag);
        c = fragment->createValueFromTempFile(new DcmInputFileStreamFactory(streamPath.c_str(), 0), Uint32(size),
            EBO_LittleEndian);
    }
    if (!SaveWithFragment(file, c, fragment, EXS_MPEG4HighProfileLevel4_1, outPath, r.message))
        return r;
    r.ok = true;
    return r;
}

// Appends one UTF-8 character starting at text[i] and returns its length.
std::size_t Utf8Length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead >> 5) == 0x6)
        return 2;
    if ((lead >> 4) == 0xE)
        return 3;
    if ((lead >> 3) == 0x1E)
        return 4;
    return 1;
}

} // namespace

std::string CutUtf8(std::string_view text, std::size_t maxChars)
{
    std::size_t i = 0, chars = 0;
    while (i < text.size() && chars < maxChars) {
        i += Utf8Length(static_cast<unsigned char>(text[i]));
        ++chars;
    }
    return std::string(text.substr(0, std::min(i, text.size())));
}

std::string DicomPersonName(std::string_view text)
{
    std::vector<std::string> groups(1);
    int carets = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char ch = text[i];
        if (ch == '=' && groups.size() < 3) {
            groups.emplace_back();
            carets = 0;
            continue;
        }
        if (ch == '^' && carets < 4) {
            ++carets;
            groups.back() += ch;
            continue;
        }
        const auto u = static_cast<unsigned char>(ch);
        if (ch == '\\' || ch == '=' || ch == '^' || u < 0x20 || u == 0x7F)
            ch = ' ';
        groups.back() += ch;
    }
    std::string name;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (g)
            name += '=';
        name += CutUtf8(groups[g], kMaxPersonGroup);
    }
    // DICOM pads with blanks; trailing blanks are not part of the value.
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

std::time_t CaptureTime(const std::string& capturePath)
{
    // "<name>_yymmdd_HHMMSS.ext" or "yymmdd_HHMMSS.ext"
    const std::size_t slash = capturePath.find_last_of('/');
    std::string base = capturePath.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos)
        base.resize(dot);
    if (base.size() >= 13) {
        const std::string stamp = base.substr(base.size() - 13);
        std::tm tm {};
        int yy, mo, dd, hh, mi, ss;
        char sep;
        if (std::sscanf(stamp.c_str(), "%2d%2d%2d%c%2d%2d%2d", &yy, &mo, &dd, &sep, &hh, &mi, &ss) == 7 && sep == '_'
            && mo >= 1 && mo <= 12 && dd >= 1 && dd <= 31 && hh < 24 && mi < 60 && ss < 61) {
            tm.tm_year = 100 + yy;
            tm.tm_mon = mo - 1;
            tm.tm_mday = dd;
            tm.tm_hour = hh;
            tm.tm_min = mi;
            tm.tm_sec = ss;
            tm.tm_isdst = -1;
            return std::mktime(&tm);
        }
    }
    struct stat st {};
    if (::stat(capturePath.c_str(), &st) == 0)
        return st.st_mtime;
    return std::time(nullptr);
}

ObjectResult WriteCaptureObject(const ObjectRequest& request, const std::string& outPath, const std::atomic<bool>* cancel)
{
    return IsMovie(request.capturePath) ? WriteMovie(request, outPath, cancel) : WriteStill(request, outPath);
}

} // namespace kestovar
