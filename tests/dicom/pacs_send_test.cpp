// Captures sent to a real PACS (Orthanc on loopback) through the store-and-forward queue.
#include "OrthancServer.h"
#include "WorklistServer.h"
#include "QueueTestSupport.h"

#include "../capture/MediaFixtures.h"
#include "dicom/CaptureSidecar.h"
#include "dicom/DicomObjects.h"
#include "dicom/PacsStation.h"
#include "dicom/WorklistQuery.h"
#include "library/CaseInfoFile.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>

#include <QColor>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestovar {
namespace {

using test::OrthancServer;
using test::QueueWatch;
using test::RunCommand;

std::string MakeJpeg(const std::string& path)
{
    QImage image(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
    EXPECT_TRUE(image.save(QString::fromStdString(path), "jpg"));
    return path;
}

// The first fragment of a DICOM file's encapsulated pixel data.
std::string PixelFragment(const std::string& dicomPath)
{
    DcmFileFormat file;
    if (file.loadFile(dicomPath.c_str()).bad())
        return {};
    DcmElement* element = nullptr;
    if (file.getDataset()->findAndGetElement(DCM_PixelData, element).bad())
        return {};
    DcmPixelSequence* seq = nullptr;
    E_TransferSyntax xfer = file.getDataset()->getOriginalXfer();
    if (static_cast<DcmPixelData*>(element)->getEncapsulatedRepresentation(xfer, nullptr, seq).bad() || !seq)
        return {};
    DcmPixelItem* item = nullptr;
    Uint8* bytes = nullptr;
    if (seq->getItem(item, 1).bad() || item->getUint8Array(bytes).bad())
        return {};
    return std::string(reinterpret_cast<const char*>(bytes), item->getLength());
}

// Packets of the first picture stream as the demuxer reads them: one per picture,
// counted without decoding (fast for a long movie).
int PacketsOf(const std::string& path)
{
    std::string out;
    RunCommand("ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 '"
            + path + "'",
        &out);
    return std::atoi(out.c_str());
}

// Bytes the process has read (files and sockets alike), from /proc.
uint64_t BytesRead(pid_t pid)
{
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return 0;
}

int FramesOf(const std::string& path, std::string* audioCodec = nullptr)
{
    std::string out;
    RunCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 '"
            + path + "'",
        &out);
    if (audioCodec)
        RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of csv=p=0 '" + path + "'",
            audioCodec);
    if (audioCodec)
        *audioCodec = audioCodec->substr(0, audioCodec->find('\n'));
    return std::atoi(out.c_str());
}

class PacsTest : public ::testing::Test {
protected:
    // A second of 1080p30 H.264 with MP3 sound, repeated to `bytes` without encoding
    // again: a long movie made quickly. The number of seconds, or 0 (a failure added).
    int MakeLongMovie(const std::string& movie, uint64_t bytes)
    {
        const std::string clip = (dir / "clip.avi").string();
        std::string err;
        EXPECT_EQ(RunCommand("ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc2=s=1920x1080:r=30 "
                             "-f lavfi -i sine=f=440:r=48000 -t 1 -vf noise=alls=30:allf=t -c:v libx264 -preset "
                             "ultrafast -profile:v high -level 4.1 -b:v 40M -pix_fmt yuv420p -g 30 -bf 0 -c:a "
                             "libmp3lame -ac 2 '"
                      + clip + "'",
                      nullptr, &err),
            0)
            << err;
        if (!std::filesystem::exists(clip))
            return 0;
        const uint64_t loops = (bytes + std::filesystem::file_size(clip) - 1) / std::filesystem::file_size(clip);
        EXPECT_EQ(RunCommand("ffmpeg -hide_banner -loglevel error -nostdin -y -stream_loop " + std::to_string(loops - 1)
                      + " -i '" + clip + "' -c copy '" + movie + "'",
                      nullptr, &err),
            0)
            << err;
        const bool made = std::filesystem::exists(movie) && std::filesystem::file_size(movie) >= bytes;
        EXPECT_TRUE(made) << "the long movie was not made";
        return made ? int(loops) : 0;
    }

    // Waits up to two minutes until Orthanc has read `bytes` more than `before`.
    bool OrthancReads(uint64_t before, uint64_t bytes)
    {
        for (int i = 0; i < 12000; ++i) {
            if (BytesRead(server->pid()) > before + bytes)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    void SetUp() override
    {
        std::filesystem::create_directories(dir / "captures");
        server = std::make_unique<OrthancServer>((dir / "orthanc").string());
        settings.pacsAeTitle = QStringLiteral("ORTHANC");
        settings.pacsHost = QStringLiteral("127.0.0.1");
        settings.pacsPort = server->dicomPort();
        settings.stationAeTitle = QStringLiteral("KESTOVAR");
        settings.orgRoot = QStringLiteral("1.2.826.0.1.3680043.10.1234");
    }

    void StartPacs()
    {
        if (!server->Start())
            GTEST_SKIP() << server->why();
    }

    std::string Capture(const std::string& name) const { return (dir / "captures" / name).string(); }
    std::string QueueFolder() const { return (dir / "state" / "dicom-queue").string(); }

    // The instance's DICOM file as Orthanc gives it back; dcmdump must read it silently.
    std::string FetchAndDump(const std::string& id)
    {
        const std::string path = (dir / (id + ".dcm")).string();
        std::string body = server->Get("/instances/" + id + "/file");
        test::WriteFileText(path, body);
        std::string out, err;
        EXPECT_EQ(RunCommand("dcmdump '" + path + "'", &out, &err), 0);
        EXPECT_EQ(err, "") << "dcmdump warned";
        return path;
    }

    test::TempDir dir;
    std::unique_ptr<OrthancServer> server;
    DicomSettings settings;
};

TEST_F(PacsTest, StillAndMovieArriveOnceWithTheirCaseAndUnchangedData)
{
    StartPacs();
    const std::string still = MakeJpeg(Capture("170226_101530.jpg"));
    const std::string movie = Capture("Knee_170226_101600.avi");
    ASSERT_TRUE(test::MakeRecordedAvi(movie, 1920, 1080, 30, 2.0, true));
    CaseInfo movieCase;
    movieCase.date = "2017-02-26";
    movieCase.fileName = "Knee";
    movieCase.patientName = "Núñez\\García^José";
    movieCase.doctorName = std::string(70, 'D');
    movieCase.hospitalName = "Hôpital Saint-Éloi";
    movieCase.comment = std::string(2000, 'c'); // read back cut to 1299, sent whole
    ASSERT_TRUE(WriteCaseInfoFile(movie, movieCase).ok);
    CaseInfo stillCase;
    stillCase.patientName = "Ölund^Åsa";
    stillCase.hospitalName = "St. Görans";

    QueueWatch watch(QueueFolder(), settings);
    watch.queue->Start();
    ASSERT_TRUE(watch.queue->Enqueue(still, stillCase));
    ASSERT_TRUE(watch.queue->Enqueue(movie, std::nullopt));
    ASSERT_TRUE(watch.WaitFor(QueueEvent::Sent, still, 300)) << ReadSidecar(still).message;
    ASSERT_TRUE(watch.WaitFor(QueueEvent::Sent, movie, 300)) << ReadSidecar(movie).message;
    EXPECT_EQ(watch.queue->WaitingCount(), 0);
    EXPECT_EQ(ReadSidecar(movie).state, SendState::Sent);

    const auto ids = server->Instances();
    ASSERT_EQ(ids.size(), 2u);
    int seen = 0;
    for (const std::string& id : ids) {
        const QJsonObject tags = server->GetJson("/instances/" + id + "/tags?simplify").object();
        const std::string sop = tags.value("SOPClassUID").toString().toStdString();
        const std::string syntax = server->Get("/instances/" + id + "/metadata/TransferSyntax");
        const std::string file = FetchAndDump(id);
        if (sop == kVlEndoscopicImageStorage) {
            ++seen;
            EXPECT_EQ(syntax, kJpegBaselineSyntax);
            EXPECT_EQ(tags.value("PatientName").toString(), QStringLiteral("Ölund^Åsa"));
            EXPECT_EQ(tags.value("InstitutionName").toString(), QStringLiteral("St. Görans"));
            EXPECT_EQ(tags.value("SOPInstanceUID").toString().toStdString(), ReadSidecar(still).instanceUid);
            std::string fragment = PixelFragment(file);
            const std::string jpeg = test::ReadFileText(still);
            if (fragment.size() == jpeg.size() + 1 && fragment.back() == '\0')
                fragment.pop_back(); // the pad byte of an odd length
            EXPECT_TRUE(fragment == jpeg) << "the JPEG's bytes changed";
        } else {
            ++seen;
            EXPECT_EQ(sop, kVideoEndoscopicImageStorage);
            EXPECT_EQ(syntax, kH264HighProfile41Syntax);
            EXPECT_EQ(tags.value("PatientName").toString(), QStringLiteral("Núñez García^José"));
            EXPECT_EQ(tags.value("InstitutionName").toString(), QStringLiteral("Hôpital Saint-Éloi"));
            EXPECT_EQ(tags.value("PerformingPhysicianName").toString().size(), 64);
            // Orthanc's tag listing leaves long texts out; the file holds the comment.
            DcmFileFormat object;
            ASSERT_TRUE(object.loadFile(file.c_str()).good());
            OFString comment;
            object.getDataset()->findAndGetOFString(DCM_ImageComments, comment);
            EXPECT_EQ(comment, OFString(1299, 'c'));
            // The sound's one channel: the station's stereo MP3 from the camera's microphone.
            DcmItem* channel = nullptr;
            ASSERT_TRUE(object.getDataset()
                            ->findAndGetSequenceItem(DCM_MultiplexedAudioChannelsDescriptionCodeSequence, channel, 0)
                            .good())
                << "the sound is not described";
            DcmItem* source = nullptr;
            ASSERT_TRUE(channel->findAndGetSequenceItem(DCM_ChannelSourceSequence, source, 0).good());
            OFString id, mode, code, scheme, meaning;
            channel->findAndGetOFString(DCM_ChannelIdentificationCode, id);
            channel->findAndGetOFString(DCM_ChannelMode, mode);
            source->findAndGetOFString(DCM_CodeValue, code);
            source->findAndGetOFString(DCM_CodingSchemeDesignator, scheme);
            source->findAndGetOFString(DCM_CodeMeaning, meaning);
            EXPECT_EQ(id, "1");
            EXPECT_EQ(mode, "STEREO");
            EXPECT_EQ(code + "," + scheme + "," + meaning, "109112,DCM,Ambient room environment");
            EXPECT_EQ(tags.value("PatientID").toString(), QString()); // type 2: present, empty
            EXPECT_TRUE(tags.contains("PatientID"));
            EXPECT_EQ(tags.value("NumberOfFrames").toString(), QStringLiteral("60"));
            const std::string ts = (dir / "movie.ts").string();
            test::WriteFileText(ts, PixelFragment(file));
            std::string audio;
            EXPECT_EQ(FramesOf(ts, &audio), FramesOf(movie));
            EXPECT_EQ(FramesOf(movie), 60);
            EXPECT_EQ(audio, "mp3"); // the station's own sound, copied as it is
        }
    }
    EXPECT_EQ(seen, 2);

    // Sending again reuses the UIDs: the PACS still holds one copy of each.
    ASSERT_TRUE(watch.queue->Enqueue(still, stillCase));
    ASSERT_TRUE(watch.WaitForCount(QueueEvent::Sent, still, 2, 60));
    EXPECT_EQ(server->Instances().size(), 2u);
}

TEST_F(PacsTest, PacsDownAtSendTimeThenStartedGetsEveryJobOnce)
{
    const std::string a = MakeJpeg(Capture("170226_101530.jpg"));
    const std::string b = MakeJpeg(Capture("170226_101531.jpg"));
    const std::string renamed = Capture("Renamed.jpg");
    const std::string gone = MakeJpeg(Capture("170226_101532.jpg"));
    // An MJPG movie, whose object is made by encoding it again.
    const std::string mjpg = Capture("Pro_170226_101600.avi");
    ASSERT_EQ(RunCommand("ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc2=s=640x480:r=30 -t 2 "
                  "-c:v mjpeg -pix_fmt yuvj422p '" + mjpg + "'"),
        0);
    QueueWatch watch(QueueFolder(), settings);
    // Every file made in the queue folder is seen: no object while the PACS is away.
    const int made = ::inotify_init1(IN_NONBLOCK);
    ASSERT_GE(::inotify_add_watch(made, QueueFolder().c_str(), IN_CREATE | IN_MOVED_TO), 0);
    watch.queue->Start();
    for (const std::string& p : { mjpg, a, b, gone })
        ASSERT_TRUE(watch.queue->Enqueue(p, std::nullopt));
    // The first job is tried again and again (the others wait as long).
    const auto retry = watch.WaitFor(QueueEvent::Retrying, mjpg, 30);
    ASSERT_TRUE(retry);
    EXPECT_NE(retry->message.find("cannot be reached"), std::string::npos) << retry->message;
    EXPECT_EQ(ReadSidecar(a).state, SendState::Queued);
    ASSERT_TRUE(watch.WaitForCount(QueueEvent::Retrying, mjpg, 3, 60));
    std::vector<std::string> objects;
    alignas(inotify_event) char events[16384];
    for (ssize_t n; (n = ::read(made, events, sizeof events)) > 0;) {
        for (char* e = events; e < events + n; e += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(e)->len) {
            const std::string name = reinterpret_cast<inotify_event*>(e)->name;
            if (name.find(".job") == std::string::npos && name != "queue.log")
                objects.push_back(name);
        }
    }
    ::close(made);
    EXPECT_TRUE(objects.empty()) << "an object was made for an unreachable PACS: " << objects.front();

    // While waiting: one capture renamed (its job follows), one deleted (its job dropped).
    ASSERT_EQ(std::rename(b.c_str(), renamed.c_str()), 0);
    watch.queue->CaptureRenamed(b, renamed);
    ASSERT_TRUE(MoveSidecar(b, renamed));
    std::filesystem::remove(gone);
    watch.queue->CaptureDeleted(gone);
    EXPECT_TRUE(watch.WaitFor(QueueEvent::Dropped, gone, 5));
    EXPECT_NE(test::ReadFileText(watch.queue->logPath()).find("dropped " + gone), std::string::npos);

    StartPacs();
    watch.queue->RetryNow();
    ASSERT_TRUE(watch.WaitFor(QueueEvent::Sent, a, 120));
    ASSERT_TRUE(watch.WaitFor(QueueEvent::Sent, renamed, 120));
    ASSERT_TRUE(watch.WaitFor(QueueEvent::Sent, mjpg, 120)) << ReadSidecar(mjpg).message;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(watch.Count(QueueEvent::Sent, a), 1);
    EXPECT_EQ(watch.Count(QueueEvent::Sent, renamed), 1);
    EXPECT_EQ(watch.Count(QueueEvent::Sent, mjpg), 1);
    EXPECT_EQ(server->Instances().size(), 3u);
    EXPECT_TRUE(watch.queue->Jobs().empty());
}

TEST_F(PacsTest, PacsStoppedInTheMiddleOfAGigabyteMovieGetsItWholeOnceAtTheNextTry)
{
    StartPacs();
    const uint64_t gib = uint64_t(1) << 30;
    const std::string movie = Capture("Long_170226_101600.avi");
    const int loops = MakeLongMovie(movie, gib);
    ASSERT_GT(loops, 0);

    QueueWatch watch(QueueFolder(), settings);
    watch.queue->Start();
    const uint64_t before = BytesRead(server->pid());
    ASSERT_TRUE(watch.queue->Enqueue(movie, std::nullopt));
    // Orthanc is stopped dead once a quarter of the object has reached it.
    ASSERT_TRUE(OrthancReads(before, gib / 4)) << "the object did not reach Orthanc within two minutes";
    ::kill(server->pid(), SIGKILL);
    server->Stop();
    EXPECT_EQ(watch.Count(QueueEvent::Sent, movie), 0);
    const auto broken = watch.WaitFor(QueueEvent::Retrying, movie, 60);
    ASSERT_TRUE(broken) << "the broken send was not noticed";
    EXPECT_EQ(ReadSidecar(movie).state, SendState::Queued);

    // The same storage and port; the next try sends the object from its start.
    StartPacs();
    watch.queue->RetryNow();
    ASSERT_TRUE(watch.WaitFor(QueueEvent::Sent, movie, 300)) << ReadSidecar(movie).message;
    EXPECT_GE(watch.Count(QueueEvent::Started, movie), 2);
    EXPECT_EQ(watch.Count(QueueEvent::Sent, movie), 1);
    const auto ids = server->Instances();
    ASSERT_EQ(ids.size(), 1u);
    const int frames = PacketsOf(movie);
    EXPECT_EQ(frames, loops * 30);
    const QJsonObject tags = server->GetJson("/instances/" + ids[0] + "/tags?simplify").object();
    EXPECT_EQ(tags.value("NumberOfFrames").toString().toInt(), frames);
    // The pixel data's first fragment (the transport stream), as Orthanc stored it.
    const std::string stream = (dir / "back.ts").string();
    ASSERT_TRUE(server->Download("/instances/" + ids[0] + "/content/7fe0-0010/1", stream));
    EXPECT_EQ(PacketsOf(stream), frames);
}

TEST_F(PacsTest, StationKilledWhileSendingSendsAfterRestart)
{
    StartPacs();
    const std::string movie = Capture("Kill_170226_101600.avi");
    ASSERT_TRUE(test::MakeRecordedAvi(movie, 1280, 720, 30, 4.0, true));
    pid_t child = ::fork();
    if (child == 0) {
        ::execl(KESTOVAR_SEND_CHILD, "dicom_send_child", QueueFolder().c_str(),
            std::to_string(server->dicomPort()).c_str(), movie.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    bool sending = false;
    for (int i = 0; i < 6000 && !sending; ++i) {
        sending = ReadSidecar(movie).state == SendState::Sending;
        if (!sending)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(sending);

    QueueWatch watch(QueueFolder(), settings);
    ASSERT_EQ(watch.queue->Jobs().size(), 1u); // still waiting after the kill
    watch.queue->Start();
    ASSERT_TRUE(watch.WaitFor(QueueEvent::Sent, movie, 300)) << ReadSidecar(movie).message;
    EXPECT_EQ(server->Instances().size(), 1u);
    for (const auto& entry : std::filesystem::directory_iterator(QueueFolder()))
        EXPECT_NE(entry.path().extension(), ".ts") << "a leftover stream " << entry.path();
}

TEST_F(PacsTest, ClosingTheStationInTheMiddleOfAMovieEndsAtOnceAndTheNextStartSendsIt)
{
    StartPacs();
    const uint64_t size = uint64_t(256) << 20;
    const std::string movie = Capture("Close_170226_101600.avi");
    ASSERT_GT(MakeLongMovie(movie, size), 0);
    // The station's own PACS side, with its settings in its hive, closed as the window's
    // close (and SIGTERM) close it: by destroying it.
    test::TempDir registry;
    ::setenv("KESTOVAR_REGISTRY_DIR", registry.str().c_str(), 1);
    ASSERT_TRUE(SaveDicomSettings(settings));
    auto station = std::make_unique<PacsStation>(QString::fromStdString(QueueFolder()));
    ::unsetenv("KESTOVAR_REGISTRY_DIR");
    const uint64_t before = BytesRead(server->pid());
    ASSERT_EQ(station->Send({ QString::fromStdString(movie) }, CaseInfo {}), QString());
    // Once the object is on its way, the PACS stops reading (a slow or stalled network):
    // the send cannot end while it is frozen, and the sender waits in the middle of it.
    ASSERT_TRUE(OrthancReads(before, size / 16)) << "the object did not reach Orthanc within two minutes";
    ::kill(server->pid(), SIGSTOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(BytesRead(server->pid()) - before, size) << "the object went through before the PACS froze";

    const auto start = std::chrono::steady_clock::now();
    station.reset();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    ::kill(server->pid(), SIGCONT);
    std::printf("closing in the middle of the send took %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_LT(took.count(), 1500);
    // Nothing goes on sending behind the closed station.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(server->Instances().empty());

    // Still waiting as before, no try counted; the next start sends it, once.
    QueueWatch watch(QueueFolder(), settings);
    ASSERT_EQ(watch.queue->Jobs().size(), 1u);
    EXPECT_FALSE(watch.queue->Jobs()[0].failed);
    EXPECT_EQ(watch.queue->Jobs()[0].attempts, 0);
    EXPECT_EQ(ReadSidecar(movie).state, SendState::Queued);
    watch.queue->Start();
    ASSERT_TRUE(watch.WaitFor(QueueEvent::Sent, movie, 300)) << ReadSidecar(movie).message;
    EXPECT_EQ(watch.Count(QueueEvent::Started, movie), 1);
    EXPECT_EQ(server->Instances().size(), 1u);
}

TEST_F(PacsTest, RefusalsAndDamagedCapturesFailWithTheReasonWhileOthersGoOn)
{
    StartPacs();
    const std::string good = MakeJpeg(Capture("170226_101530.jpg"));
    const std::string cut = Capture("170226_101531.jpg");
    std::string jpeg = test::ReadFileText(good);
    test::WriteFileText(cut, jpeg.substr(0, jpeg.size() / 2));
    const std::string brokenMovie = Capture("Broken_170226_101600.avi");
    test::WriteFileText(brokenMovie, "RIFF\x10\x00\x00\x00" "AVI garbage that is no movie");

    // A wrong PACS AE title: the association is rejected, the job kept as failed.
    DicomSettings wrong = settings;
    wrong.pacsAeTitle = QStringLiteral("NOT_THE_PACS");
    {
        QueueWatch watch(QueueFolder(), wrong);
        watch.queue->Start();
        ASSERT_TRUE(watch.queue->Enqueue(good, std::nullopt));
        const auto failed = watch.WaitFor(QueueEvent::Failed, good, 30);
        ASSERT_TRUE(failed);
        EXPECT_NE(failed->message.find("refused"), std::string::npos) << failed->message;
        std::this_thread::sleep_for(std::chrono::seconds(2)); // retry interval 1 s: not retried
        EXPECT_EQ(watch.Count(QueueEvent::Started, good), 1);
        ASSERT_EQ(watch.queue->Jobs().size(), 1u);
        EXPECT_TRUE(watch.queue->Jobs()[0].failed);
        EXPECT_EQ(ReadSidecar(good).state, SendState::Failed);
    }
    {
        // Kept as failed over a restart; sent again by the operator once the settings are right.
        QueueWatch watch(QueueFolder(), settings);
        ASSERT_EQ(watch.queue->Jobs().size(), 1u);
        EXPECT_TRUE(watch.queue->Jobs()[0].failed);
        watch.queue->Start();
        ASSERT_TRUE(watch.queue->Enqueue(cut, std::nullopt));
        ASSERT_TRUE(watch.queue->Enqueue(brokenMovie, std::nullopt));
        ASSERT_TRUE(watch.queue->Enqueue(good, std::nullopt));
        const auto cutFailed = watch.WaitFor(QueueEvent::Failed, cut, 60);
        const auto movieFailed = watch.WaitFor(QueueEvent::Failed, brokenMovie, 60);
        ASSERT_TRUE(cutFailed);
        ASSERT_TRUE(movieFailed);
        EXPECT_NE(cutFailed->message.find("cut short"), std::string::npos) << cutFailed->message;
        EXPECT_NE(movieFailed->message.find("movie"), std::string::npos) << movieFailed->message;
        ASSERT_TRUE(watch.WaitFor(QueueEvent::Sent, good, 60));
        EXPECT_EQ(server->Instances().size(), 1u);
        EXPECT_EQ(watch.queue->WaitingCount(), 0);
    }
}

} // namespace
} // namespace kestovar

namespace kestovar {
namespace {

// A certificate authority and two certificates it signed (PACS and station), made with openssl.
bool MakeCertificates(const std::string& folder, std::string* why)
{
    const std::string f = "'" + folder + "/";
    const std::string commands[] = {
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=TestCA -keyout " + f + "ca.key' -out " + f
            + "ca.pem'",
        "openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout " + f + "pacs.key' -out " + f + "pacs.csr'",
        "openssl x509 -req -days 2 -in " + f + "pacs.csr' -CA " + f + "ca.pem' -CAkey " + f
            + "ca.key' -CAcreateserial -out " + f + "pacs.pem'",
        "openssl req -newkey rsa:2048 -nodes -subj /CN=KESTOVAR -keyout " + f + "station.key' -out " + f
            + "station.csr'",
        "openssl x509 -req -days 2 -in " + f + "station.csr' -CA " + f + "ca.pem' -CAkey " + f
            + "ca.key' -CAcreateserial -out " + f + "station.pem'",
    };
    for (const std::string& c : commands) {
        std::string err;
        if (RunCommand(c, nullptr, &err) != 0) {
            *why = "openssl failed: " + err;
            return false;
        }
    }
    return true;
}

TEST_F(PacsTest, OverTlsTheStillArrivesAndAPlainConnectionIsToldWhy)
{
    const std::string certs = (dir / "certs").string();
    std::filesystem::create_directories(certs);
    std::string why;
    ASSERT_TRUE(MakeCertificates(certs, &why)) << why;
    test::OrthancTls tls { certs + "/pacs.pem", certs + "/pacs.key", certs + "/ca.pem" };
    if (!server->Start(&tls))
        GTEST_SKIP() << server->why();
    const std::string still = MakeJpeg(Capture("170226_101530.jpg"));

    // TLS required by the PACS but off at the station: failed with a message, kept.
    {
        QueueWatch watch(QueueFolder(), settings);
        watch.queue->Start();
        ASSERT_TRUE(watch.queue->Enqueue(still, std::nullopt));
        const auto failed = watch.WaitFor(QueueEvent::Failed, still, 60);
        ASSERT_TRUE(failed) << ReadSidecar(still).message;
        EXPECT_NE(failed->message.find("TLS"), std::string::npos) << failed->message;
    }
    DicomSettings secure = settings;
    secure.tls = true;
    secure.tlsCertificate = QString::fromStdString(certs + "/station.pem");
    secure.tlsPrivateKey = QString::fromStdString(certs + "/station.key");
    secure.tlsTrustedCertificates = QString::fromStdString(certs + "/ca.pem");
    QueueWatch watch(QueueFolder(), secure);
    watch.queue->Start();
    ASSERT_TRUE(watch.queue->Enqueue(still, std::nullopt));
    ASSERT_TRUE(watch.WaitFor(QueueEvent::Sent, still, 60)) << ReadSidecar(still).message;
    EXPECT_EQ(server->Instances().size(), 1u);
}

TEST_F(PacsTest, ACaptureOfAWorklistProcedureJoinsTheOrderedStudy)
{
    test::WorklistServer worklist((dir / "mwl").string());
    test::WorklistItem order;
    order.charset = "ISO_IR 100";
    order.patientName = "M\xFCller^J\xFCrgen";
    order.patientId = "HOSP-4711";
    order.birthDate = "19700314";
    order.sex = "M";
    order.accession = "ACC-2026-0815";
    order.studyUid = "1.2.826.0.1.3680043.2.1125.4711";
    order.requestedId = "RP-9";
    order.requestedDescription = "Gastroscopy";
    ASSERT_TRUE(worklist.Add("order", order));
    if (!worklist.Start())
        GTEST_SKIP() << worklist.why();
    StartPacs();
    DicomSettings ask = settings;
    ask.worklistHost = QStringLiteral("127.0.0.1");
    ask.worklistPort = worklist.port();
    ask.worklistAeTitle = QString::fromStdString(worklist.aeTitle());
    const WorklistResult r = QueryWorklist(ask, QDate::currentDate());
    ASSERT_TRUE(r.ok && r.entries.size() == 1) << r.message.toStdString();
    const WorklistEntry& entry = r.entries[0];

    // The procedure goes into the sidecar, never into the case file.
    const std::string still = MakeJpeg(Capture("Gastro_170226_101530.jpg"));
    ASSERT_TRUE(AttachProcedure(still, ProcedureOf(entry)));
    EXPECT_EQ(ReadSidecar(still).procedure, ProcedureOf(entry));
    EXPECT_EQ(ReadSidecar(still).studyUid, order.studyUid);
    CaseInfo stillCase;
    stillCase.patientName = entry.readablePatientName().toStdString();

    QueueWatch watch(QueueFolder(), settings);
    watch.queue->Start();
    ASSERT_TRUE(watch.queue->Enqueue(still, stillCase));
    ASSERT_TRUE(watch.WaitFor(QueueEvent::Sent, still, 120)) << ReadSidecar(still).message;
    const auto ids = server->Instances();
    ASSERT_EQ(ids.size(), 1u);
    const QJsonObject tags = server->GetJson("/instances/" + ids[0] + "/tags?simplify").object();
    EXPECT_EQ(tags.value("StudyInstanceUID").toString().toStdString(), order.studyUid);
    EXPECT_EQ(tags.value("AccessionNumber").toString().toStdString(), order.accession);
    EXPECT_EQ(tags.value("PatientID").toString().toStdString(), order.patientId);
    EXPECT_EQ(tags.value("PatientName").toString(), QStringLiteral("Müller^Jürgen")); // as the worklist stores it
    EXPECT_EQ(tags.value("PatientBirthDate").toString(), QStringLiteral("19700314"));
    EXPECT_EQ(tags.value("PatientSex").toString(), QStringLiteral("M"));
    const QJsonArray request = tags.value("RequestAttributesSequence").toArray();
    ASSERT_EQ(request.size(), 1);
    EXPECT_EQ(request[0].toObject().value("RequestedProcedureID").toString(), QStringLiteral("RP-9"));
    // Orthanc files it in the ordered study.
    const QJsonObject study = server->GetJson("/instances/" + ids[0] + "/study").object();
    EXPECT_EQ(study.value("MainDicomTags").toObject().value("AccessionNumber").toString().toStdString(), order.accession);
}

} // namespace
} // namespace kestovar

#include "dicom/CDlgPacs.h"

#include <QSignalSpy>

namespace kestovar {
namespace {

TEST_F(PacsTest, TestConnectionAnswersWithinFiveSecondsEitherWay)
{
    StartPacs();
    auto answer = [](const DicomSettings& s) {
        CDlgPacs dialog(s);
        QSignalSpy spy(&dialog, &CDlgPacs::TestFinished);
        dialog.TestConnection();
        EXPECT_TRUE(spy.wait(6000)) << "no answer";
        return dialog.TestResult().toStdString();
    };
    EXPECT_NE(answer(settings).find("works"), std::string::npos);

    // A PACS that accepts the connection and then says nothing: the dialog still answers.
    int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(silent, 4), 0);
    socklen_t len = sizeof addr;
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&addr), &len);
    DicomSettings mute = settings;
    mute.pacsPort = ntohs(addr.sin_port);
    const std::string result = answer(mute);
    EXPECT_FALSE(result.empty());
    EXPECT_EQ(result.find("works"), std::string::npos) << result;
    ::close(silent);

    DicomSettings wrong = settings;
    wrong.pacsAeTitle = QStringLiteral("NOT_THE_PACS");
    EXPECT_NE(answer(wrong).find("refused"), std::string::npos);
}

} // namespace
} // namespace kestovar
