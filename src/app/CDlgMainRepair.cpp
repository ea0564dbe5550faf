// CDlgMain: completing the movies a crash or power cut left unfinished, at start.

#include "app/CDlgMain.h"

#include "app/CMainFrame.h"
#include "app/StationMedia.h"
#include "capture/RecordingJournal.h"
#include "library/CKestovarFormView.h"
#include "platform/RegistryFolder.h"
#include "recording/CAppSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtConcurrent/QtConcurrentRun>

#include <cstdio>

namespace kestovar {
namespace {

// Names listed in the repair message; more are counted.
constexpr int kRepairNamesShown = 5;

QString Names(const QStringList& list)
{
    QStringList shown = list.mid(0, kRepairNamesShown);
    if (list.size() > kRepairNamesShown)
        shown << QStringLiteral("and %1 more").arg(list.size() - kRepairNamesShown);
    return shown.join(QLatin1Char('\n'));
}

QString RepairMessage(const std::vector<RepairedMovie>& movies)
{
    QStringList repaired, empty, failed;
    for (const RepairedMovie& movie : movies) {
        const QString name = QFileInfo(QFile::decodeName(QByteArray::fromStdString(movie.path))).fileName();
        if (!movie.result.ok)
            failed << name;
        else if (movie.result.videoFrames == 0)
            empty << name;
        else
            repaired << name;
    }
    QStringList parts;
    if (repaired.size() == 1)
        parts << QStringLiteral("A movie was not completed when Kestovar stopped.\nIt has been repaired:\n%1")
                     .arg(Names(repaired));
    else if (repaired.size() > 1)
        parts << QStringLiteral("%1 movies were not completed when Kestovar stopped.\nThey have been repaired:\n%2")
                     .arg(repaired.size())
                     .arg(Names(repaired));
    // Kept (a valid, empty movie), but not called repaired: there was nothing to save.
    if (!empty.isEmpty())
        parts << QStringLiteral("These movies were cut off before any picture was recorded:\n%1").arg(Names(empty));
    if (!failed.isEmpty())
        parts << QStringLiteral("These movies were not completed and could not be repaired:\n%1").arg(Names(failed));
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace

void CDlgMain::StartRepairs()
{
    // Every recording from here on is journalled until its file is complete; only the
    // movies of the journal read now, before anything can record, are looked at. A
    // movie the station did not record, or did record to the end, is never changed.
    const std::string journal = QFile::encodeName(RegistryFolder() + QStringLiteral("/recordings-in-progress")).toStdString();
    SetRecordingJournal(journal);
    std::vector<JournalEntry> entries = ReadRecordingJournal(journal);
    if (entries.empty())
        return;
    repairs_ = new QFutureWatcher<std::vector<RepairedMovie>>(this);
    connect(repairs_, &QFutureWatcherBase::finished, this, [this] { RepairsDone(repairs_->result()); });
    repairsRunning_ = true;
    repairs_->setFuture(QtConcurrent::run(
        [journal, entries = std::move(entries)] { return RepairJournaledMovies(journal, entries); }));
}

void CDlgMain::RepairsDone(const std::vector<RepairedMovie>& movies)
{
    repairsRunning_ = false;
    if (closing_ || movies.empty())
        return;
    if (frame_ && frame_->CaseForm())
        frame_->CaseForm()->RefreshMediaList();
    ShowNotice(RepairMessage(movies));
}

void CDlgMain::WaitForRepairs()
{
    if (!repairs_ || !repairs_->isRunning())
        return;
    std::fprintf(stderr, "kestovar: waiting for the repair of unfinished movies to end\n");
    repairs_->waitForFinished();
}

void CDlgMain::ShowNotice(const QString& text)
{
    if (text.isEmpty())
        return;
    if (messageOpen_) {
        pendingNotice_ += (pendingNotice_.isEmpty() ? QString() : QStringLiteral("\n\n")) + text;
        return;
    }
    Tell(text);
}

} // namespace kestovar
