#pragma once
// What the case information form and the media list need from the station around them.
// The main frame implements it (the frame owns the application state, the video window
// and the recording commands); tests implement it with a fake. The form keeps a plain
// pointer: the host outlives the form.
//
// Every call comes on the GUI thread, from the form's own event handlers.

#include "library/FormMode.h"

#include <QString>

#include "library/CaseInfoFile.h"

#include <QStringList>

namespace kestovar {

class CAppSettings;

class MediaLibraryHost {
public:
    virtual ~MediaLibraryHost() = default;

    // The application's mode now (AppMode as FormMode).
    virtual FormMode CurrentMode() const = 0;
    // The settings record: storage folders, the remembered doctor and hospital names.
    virtual CAppSettings& Settings() = 0;

    // Record Stop as the frame's command does it: the recording is completed, the media
    // list refreshed, the case fields cleared and the picture goes live. Called when the
    // operator opens a listed capture during a recording and agrees to stop it.
    virtual void StopRecording() = 0;

    // Opening a listed capture, in this order:
    //   HideNoCameraNotice; (a recording is stopped if the operator agrees);
    //   PrepareVideoWindowForMedia: the video window shown, the transport bar made fully
    //     transparent, its hide countdown and progress timers stopped, its times
    //     "00:00:00" and its seek position 0;
    //   ShowMovie (opens it paused, mode PlaybackPaused) or ShowPicture (closes every
    //     graph and draws the picture, mode StillShown);
    //   UpdateControlStates of the control panel.
    // ShowMovie is false for a movie that cannot be played (damaged, cut short, not a
    // movie): the form tells the operator and still shows the movie's case information.
    // A picture that cannot be shown is the host's to tell.
    virtual void HideNoCameraNotice() = 0;
    virtual void PrepareVideoWindowForMedia() = 0;
    virtual bool ShowMovie(const QString& path) = 0;
    virtual void ShowPicture(const QString& path) = 0;
    virtual void UpdateControlStates() = 0;

    // StopPlayback then ClosePlayback, so no player holds a movie that is about to be
    // deleted. Called before every movie delete, whatever the player shows; moviePath
    // says which movie goes. When it returns, the player must have let go of the file.
    virtual void ClosePlaybackBeforeDelete(const QString& moviePath) = 0;

    // A listed capture got a new name (its case file, for a movie, moved with it). The
    // host updates the path of the capture on show when it is this one.
    virtual void MediaRenamed(const QString& oldPath, const QString& newPath);

    // A listed capture was deleted (with its case and sidecar files).
    virtual void MediaDeleted(const QString& path);

    // "Send to PACS" on listed captures. formCase holds the form's fields at that moment:
    // a picture, which has no case information file, is sent with them.
    virtual void SendToPacs(const QStringList& paths, const CaseInfo& formCase);

    // The storage root was changed through the folder chooser (settings already saved).
    virtual void StorageRootChanged();

    // Opens a folder in the desktop's file browser; false when nothing could open it.
    virtual bool OpenFolder(const QString& path);
};

} // namespace kestovar
