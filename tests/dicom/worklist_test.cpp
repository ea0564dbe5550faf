// The modality worklist query against a real worklist server: DCMTK's wlmscpfs on
// loopback, serving .wl files the test writes with dump2dcm.
#include "WorklistServer.h"

#include "dicom/CDlgPacs.h"
#include "dicom/CDlgWorklist.h"
#include "dicom/WorklistQuery.h"
#include "ui/CGdipButton.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kestovar {
namespace {

using test::WorklistServer;

QString Today()
{
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
}

class WorklistTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<WorklistServer>(dir.str());
        settings.worklistHost = QStringLiteral("127.0.0.1");
        settings.worklistPort = server->port();
        settings.worklistAeTitle = QString::fromStdString(server->aeTitle());
        settings.stationAeTitle = QStringLiteral("ROOM1");
    }
    void StartServer()
    {
        if (!server->Start())
            GTEST_SKIP() << server->why();
    }
    const WorklistEntry* Find(const WorklistResult& r, const QString& id)
    {
        for (const WorklistEntry& e : r.entries)
            if (e.patientId == id)
                return &e;
        return nullptr;
    }

    test::TempDir dir;
    std::unique_ptr<WorklistServer> server;
    DicomSettings settings;
};

TEST_F(WorklistTest, TodaysStepsOfTheModalityAndStationWithTheirNamesDecoded)
{
    test::WorklistItem full;
    full.charset = "ISO_IR 100";
    full.patientName = "M\xFCller^J\xFCrgen"; // Latin-1 bytes
    full.patientId = "P100";
    full.birthDate = "19700314";
    full.sex = "M";
    full.accession = "ACC100";
    full.institution = "H\xF4pital Saint-\xC9loi";
    full.physician = "House^Gregory^^Dr.";
    full.stepDescription = "Colonoscopy: polyp / follow-up";
    full.requestedId = "RP100";
    full.requestedDescription = "Lower GI endoscopy";
    full.studyUid = "1.2.826.0.1.3680043.2.1125.100";
    full.time = "093000";
    server->Add("latin1", full);

    test::WorklistItem utf8;
    utf8.charset = "ISO_IR 192";
    utf8.patientName = "\xC5\x81ukaszewicz^\xC5\xBB\xC3\xB3\xC5\x82"
                       "ty=\xE5\xB1\xB1\xE7\x94\xB0^\xE5\xA4\xAA\xE9\x83\x8E";
    utf8.patientId = "P192";
    utf8.station = "ROOM2";
    utf8.time = "081500";
    server->Add("utf8", utf8);

    test::WorklistItem bare; // only what a worklist must give
    bare.patientName = "Doe^Jane";
    bare.patientId = "PBARE";
    bare.time = "120000";
    server->Add("bare", bare);

    test::WorklistItem other = bare;
    other.patientId = "PCT";
    other.modality = "CT";
    server->Add("ct", other);
    test::WorklistItem yesterday = bare;
    yesterday.patientId = "PYESTERDAY";
    yesterday.date = QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyyMMdd")).toStdString();
    server->Add("yesterday", yesterday);
    StartServer();

    WorklistResult r = QueryWorklist(settings, QDate::currentDate());
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    ASSERT_EQ(r.entries.size(), 3u);
    EXPECT_EQ(r.entries[0].patientId, QStringLiteral("P192")); // in scheduled order
    EXPECT_EQ(r.entries[2].patientId, QStringLiteral("PBARE"));

    const WorklistEntry* e = Find(r, QStringLiteral("P100"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->patientName, QStringLiteral("Müller^Jürgen"));
    EXPECT_EQ(e->readablePatientName(), QStringLiteral("Jürgen Müller"));
    EXPECT_EQ(e->readablePhysician(), QStringLiteral("Dr. Gregory House"));
    EXPECT_EQ(e->institution, QStringLiteral("Hôpital Saint-Éloi"));
    EXPECT_EQ(e->readableBirthDate(), QStringLiteral("1970-03-14"));
    EXPECT_EQ(e->sex, QStringLiteral("M"));
    EXPECT_EQ(e->accessionNumber, QStringLiteral("ACC100"));
    EXPECT_EQ(e->procedureDescription, QStringLiteral("Colonoscopy: polyp / follow-up"));
    EXPECT_EQ(e->requestedProcedureId, QStringLiteral("RP100"));
    EXPECT_EQ(e->requestedProcedureDescription, QStringLiteral("Lower GI endoscopy"));
    EXPECT_EQ(e->studyInstanceUid, QStringLiteral("1.2.826.0.1.3680043.2.1125.100"));
    EXPECT_EQ(e->scheduledDate, Today());
    EXPECT_EQ(e->readableTime(), QStringLiteral("09:30"));

    e = Find(r, QStringLiteral("P192"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->patientName, QStringLiteral("Łukaszewicz^Żółty=山田^太郎"));
    EXPECT_EQ(e->readablePatientName(), QStringLiteral("Żółty Łukaszewicz"));

    e = Find(r, QStringLiteral("PBARE"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->readablePatientName(), QStringLiteral("Jane Doe"));
    EXPECT_TRUE(e->birthDate.isEmpty() && e->accessionNumber.isEmpty() && e->institution.isEmpty()
        && e->performingPhysician.isEmpty() && e->procedureDescription.isEmpty());

    settings.worklistFilterByStation = true; // ROOM1 only
    r = QueryWorklist(settings, QDate::currentDate());
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(r.entries.size(), 2u);
    EXPECT_FALSE(Find(r, QStringLiteral("P192")));

    settings.worklistFilterByStation = false;
    settings.worklistModality = QStringLiteral("CT");
    r = QueryWorklist(settings, QDate::currentDate());
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].patientId, QStringLiteral("PCT"));

    // The File Name suggested from the description leaves out what the field refuses.
    EXPECT_EQ(SuggestedFileName(QStringLiteral("Colonoscopy: polyp / follow-up")),
        QStringLiteral("Colonoscopy polyp follow-up"));
    EXPECT_EQ(SuggestedFileName(QStringLiteral("..\\ERCP <urgent>\t*")), QStringLiteral("ERCP urgent"));
}

// The list dialog as the operator sees it, once its query has answered.
struct OpenedList {
    explicit OpenedList(const DicomSettings& s)
        : dialog(s)
    {
        QSignalSpy shown(&dialog, &CDlgWorklist::ResultShown);
        EXPECT_TRUE(shown.wait(12000));
    }
    CDlgWorklist dialog;
};

TEST_F(WorklistTest, AnEmptyDayAndABusyOne)
{
    StartServer();
    WorklistResult r = QueryWorklist(settings, QDate::currentDate());
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_TRUE(r.entries.empty());
    {
        OpenedList list(settings);
        EXPECT_EQ(list.dialog.StatusText(), QStringLiteral("No procedures scheduled for today"));
        EXPECT_FALSE(list.dialog.ChooseRow(0));
    }

    test::WorklistItem item;
    item.patientName = "Patient^Number";
    server->AddMany(500, item);
    QElapsedTimer clock;
    clock.start();
    r = QueryWorklist(settings, QDate::currentDate());
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(r.entries.size(), 500u);
    EXPECT_TRUE(Find(r, QStringLiteral("P499")));
    EXPECT_LT(clock.elapsed(), 9000);

    OpenedList list(settings);
    EXPECT_EQ(list.dialog.VisibleRows(), 500);
    QTest::keyClicks(list.dialog.SearchBox(), QStringLiteral("p49"));
    EXPECT_EQ(list.dialog.VisibleRows(), 11); // P49, P490 ... P499
    ASSERT_TRUE(list.dialog.ChooseRow(0));
    ASSERT_TRUE(list.dialog.Chosen());
    EXPECT_TRUE(list.dialog.Chosen()->patientId.startsWith(QStringLiteral("P49")));
}

// A port nobody listens on and nobody else can take while the socket lives: bound,
// never listening (a connection is refused at once). Bound to `port` as soon as no
// one listens there any more (a server just stopped may linger a moment in a child).
int RefusingPort(int* port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(uint16_t(*port));
    QElapsedTimer clock;
    clock.start();
    while (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 && clock.elapsed() < 5000)
        QTest::qWait(20);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    *port = ntohs(addr.sin_port);
    return fd;
}

// A listening socket that never speaks, and one that answers garbage and hangs up.
int Listener(int* port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd, 4);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    *port = ntohs(addr.sin_port);
    return fd;
}

TEST_F(WorklistTest, ADeadSilentOrBabblingServerIsToldInTime)
{
    // Nobody listens: told at once.
    int port = 0;
    const int refusing = RefusingPort(&port);
    settings.worklistPort = port;
    QElapsedTimer clock;
    clock.start();
    WorklistResult r = QueryWorklist(settings, QDate::currentDate());
    ::close(refusing);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.message.contains(QStringLiteral("cannot be reached"))) << r.message.toStdString();
    EXPECT_LT(clock.elapsed(), 10000);

    // Garbage, then the connection closes.
    int babbler = Listener(&port);
    std::thread talk([babbler] {
        int c = ::accept(babbler, nullptr, nullptr);
        const char junk[] = "HTTP/1.1 400 Bad Request\r\n\r\nthis is no DICOM at all";
        (void)!::write(c, junk, sizeof junk);
        ::close(c);
    });
    settings.worklistPort = port;
    r = QueryWorklist(settings, QDate::currentDate());
    talk.join();
    ::close(babbler);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.isEmpty());

    // Accepts and never answers: the worker query is given up at 10 s while the event
    // loop keeps running.
    int silent = Listener(&port);
    settings.worklistPort = port;
    WorklistQuery query;
    QSignalSpy finished(&query, &WorklistQuery::Finished);
    clock.restart();
    query.Start(settings);
    EXPECT_TRUE(query.Running());
    ASSERT_TRUE(finished.wait(12000));
    const qint64 took = clock.elapsed();
    EXPECT_GE(took, 8000);
    EXPECT_LE(took, 10500);
    const auto result = finished.at(0).at(0).value<WorklistResult>();
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.message.contains(QStringLiteral("10 seconds"))) << result.message.toStdString();
    ::close(silent);
}

TEST_F(WorklistTest, PacsDialogTestsTheWorklistServerWithoutAPacs)
{
    StartServer();
    auto answer = [](const DicomSettings& s) {
        CDlgPacs dialog(s);
        EXPECT_EQ(dialog.Problem(), QString()); // a worklist without a PACS is a valid setup
        QSignalSpy spy(&dialog, &CDlgPacs::WorklistTestFinished);
        dialog.TestWorklist();
        EXPECT_TRUE(spy.wait(11000)) << "no answer";
        return dialog.WorklistTestResult();
    };
    EXPECT_TRUE(answer(settings).contains(QStringLiteral("works")));
    settings.worklistAeTitle = QStringLiteral("NOT_THE_MWL");
    EXPECT_TRUE(answer(settings).contains(QStringLiteral("refused")));
    // The server's port, kept so that no other program takes it once the server is gone.
    server->Stop();
    int port = server->port();
    const int refusing = RefusingPort(&port);
    ASSERT_EQ(port, server->port());
    settings.worklistAeTitle = QString::fromStdString(server->aeTitle());
    const QString down = answer(settings);
    ::close(refusing);
    EXPECT_TRUE(down.contains(QStringLiteral("cannot be reached"))) << down.toStdString();
}

TEST_F(WorklistTest, AServerHangingUpMidAnswerIsToldAndNoPartOfTheListIsShown)
{
    // Three procedures, two seconds apart: the first answer arrives, then the server dies.
    for (const char* id : { "PA", "PB", "PC" }) {
        test::WorklistItem item;
        item.patientName = "Doe^Jane";
        item.patientId = id;
        server->Add(id, item);
    }
    if (!server->Start({ "--single-process", "--sleep-during", "2", "-v" }))
        GTEST_SKIP() << server->why();
    CDlgWorklist dialog(settings);
    QSignalSpy shown(&dialog, &CDlgWorklist::ResultShown);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return server->Log().find("Response 1 ") != std::string::npos; }, 8000))
        << server->Log();
    QTest::qWait(300); // on its way; the next one is two seconds off
    EXPECT_TRUE(shown.isEmpty());
    server->Stop();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(dialog.StatusText().contains(QStringLiteral("broke off"))) << dialog.StatusText().toStdString();
    EXPECT_EQ(dialog.VisibleRows(), 0);
    EXPECT_FALSE(dialog.ChooseButton()->isEnabled());
}

} // namespace
} // namespace kestovar
