// bench_worklist: today's modality worklist with 500 scheduled procedures, served by
// DCMTK's wlmscpfs on loopback (the tests' runner, .wl files written with dump2dcm).
//  - from asking for the list (the dialog opens and starts its query) to the dialog
//    painted with all 500 rows: goal within 1 s;
//    For reference, DCMTK's findscu asking the same server for the same day (the
//    process from start to end, its answers not written anywhere);
//  - the search box filtering as one types, per keystroke (the key, the filter and the
//    list painted again): goal < 50 ms.
// Medians over the rounds (--runs N, default 5).
#include "BenchSupport.h"
#include "OrthancServer.h"
#include "WorklistServer.h"

#include "dicom/CDlgWorklist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <cstdlib>
#include <cstring>

using namespace kestovar;
using namespace kestovar::bench;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));

    test::TempDir dir;
    test::WorklistServer server(dir.str());
    test::WorklistItem item;
    item.patientName = "Number^Patient";
    item.birthDate = "19700314";
    item.physician = "House^Gregory";
    item.stepDescription = "Gastroscopy";
    item.station = "ROOM1";
    if (!server.AddMany(500, item) || !server.Start()) {
        std::fprintf(stderr, "bench_worklist: no worklist server: %s\n", server.why().c_str());
        return 1;
    }
    DicomSettings settings;
    settings.worklistHost = QStringLiteral("127.0.0.1");
    settings.worklistPort = server.port();
    settings.worklistAeTitle = QString::fromStdString(server.aeTitle());
    settings.stationAeTitle = QStringLiteral("ROOM1");

    // findscu's query: today's ES steps, the attributes the station asks for.
    const std::string keys = dir.str() + "/keys.dcm";
    test::WriteFileText(dir.str() + "/keys.dump",
        "(0008,0050) SH []\n(0008,0080) LO []\n(0010,0010) PN []\n(0010,0020) LO []\n(0010,0030) DA []\n"
        "(0010,0040) CS []\n(0020,000d) UI []\n(0032,1060) LO []\n(0040,1001) SH []\n"
        "(0040,0100) SQ\n(fffe,e000) na\n(0008,0060) CS [ES]\n(0040,0001) AE []\n(0040,0002) DA ["
            + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString()
            + "]\n(0040,0003) TM []\n(0040,0006) PN []\n(0040,0007) LO []\n(0040,0009) SH []\n"
              "(fffe,e00d) na\n(fffe,e0dd) na\n");
    const bool haveFindscu = test::RunCommand("dump2dcm -q '" + dir.str() + "/keys.dump' '" + keys + "'") == 0;
    std::vector<double> open, keystroke, findscu;
    const QString typed[] = { QStringLiteral("number"), QStringLiteral("p49") };
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        if (haveFindscu) {
            clock.start();
            if (test::RunCommand("findscu -W -aec MWL 127.0.0.1 " + std::to_string(server.port()) + " '" + keys + "'")
                == 0)
                findscu.push_back(clock.nsecsElapsed() / 1e6);
        }
        clock.start();
        CDlgWorklist dialog(settings);
        QSignalSpy shown(&dialog, &CDlgWorklist::ResultShown);
        dialog.show();
        if (shown.isEmpty() && !shown.wait(15000)) {
            std::fprintf(stderr, "bench_worklist: no answer\n");
            return 1;
        }
        dialog.repaint();
        open.push_back(clock.nsecsElapsed() / 1e6);
        if (dialog.VisibleRows() != 500) {
            std::fprintf(stderr, "bench_worklist: %d rows shown, not 500: %s\n", dialog.VisibleRows(),
                qPrintable(dialog.StatusText()));
            return 1;
        }
        QApplication::processEvents();
        // Typing: a word every row holds (the whole list stays), then a narrowing one.
        for (const QString& word : typed) {
            dialog.SearchBox()->clear();
            QApplication::processEvents();
            for (const QChar c : word) {
                clock.restart();
                QTest::keyClick(dialog.SearchBox(), c.toLatin1());
                dialog.repaint();
                keystroke.push_back(clock.nsecsElapsed() / 1e6);
            }
        }
        if (dialog.VisibleRows() != 11) { // P49, P490 ... P499
            std::fprintf(stderr, "bench_worklist: the search shows %d rows, not 11\n", dialog.VisibleRows());
            return 1;
        }
    }
    Row(Format("worklist of 500 procedures from wlmscpfs: asking to the dialog showing every row, median of %d", runs),
        Format("%.0f ms", Median(open)), "goal <= 1000 ms", Ratio(Median(open), 1000));
    if (!findscu.empty())
        Row("worklist of 500 procedures: asking to every row shown (reference: the same query by DCMTK's findscu, "
            "process start to end), median",
            Format("%.0f ms", Median(open)), Format("%.0f ms", Median(findscu)), Ratio(Median(open), Median(findscu)));
    Row("worklist search box, filtering 500 rows per keystroke, median",
        Format("%.1f ms", Median(keystroke)), "goal < 50 ms", Ratio(Median(keystroke), 50));
    Row("worklist search box, filtering 500 rows per keystroke, slowest",
        Format("%.1f ms", Percentile(keystroke, 100)), "goal < 50 ms", Ratio(Percentile(keystroke, 100), 50));
    return 0;
}
