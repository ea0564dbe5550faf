#pragma once
// A stand-in for the main frame around the case information form: it keeps a mode,
// the settings, and a log of every call the form makes, and answers like the frame
// would (opening a movie pauses it, showing a picture sets StillShown, stopping a
// recording refreshes the list).

#include "library/CKestovarFormView.h"
#include "library/MediaLibraryHost.h"
#include "recording/CAppSettings.h"

#include <QFileInfo>

#include <string>
#include <vector>

namespace kestovar::test {

class FakeMediaHost : public MediaLibraryHost {
public:
    explicit FakeMediaHost(CAppSettings& settings)
        : settings_(settings)
    {
    }

    FormMode mode = FormMode::Live;
    CKestovarFormView* form = nullptr; // for Record Stop's refresh
    bool openFolderWorks = true;
    std::vector<std::string> calls;
    bool movieOpens = true; // what ShowMovie answers

    bool Called(const std::string& call) const
    {
        for (const std::string& c : calls)
            if (c == call)
                return true;
        return false;
    }
    int IndexOf(const std::string& call) const
    {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i] == call)
                return static_cast<int>(i);
        return -1;
    }

    FormMode CurrentMode() const override { return mode; }
    CAppSettings& Settings() override { return settings_; }
    void StopRecording() override
    {
        calls.push_back("StopRecording");
        mode = FormMode::Live;
        if (form) {
            form->RefreshMediaList();
            form->ClearCaseFields();
        }
    }
    void HideNoCameraNotice() override { calls.push_back("HideNoCameraNotice"); }
    void PrepareVideoWindowForMedia() override { calls.push_back("PrepareVideoWindowForMedia"); }
    bool ShowMovie(const QString& path) override
    {
        calls.push_back("ShowMovie " + path.toStdString());
        mode = FormMode::PlaybackPaused;
        return movieOpens;
    }
    void ShowPicture(const QString& path) override
    {
        calls.push_back("ShowPicture " + path.toStdString());
        mode = FormMode::StillShown;
    }
    void UpdateControlStates() override { calls.push_back("UpdateControlStates"); }
    void ClosePlaybackBeforeDelete(const QString& path) override
    {
        // Logged with whether the movie was still there: the player must be closed
        // before the file goes.
        calls.push_back(
            "ClosePlayback " + path.toStdString() + (QFileInfo::exists(path) ? " (present)" : " (gone)"));
        if (mode == FormMode::Playing || mode == FormMode::PlaybackPaused)
            mode = FormMode::Idle;
    }
    void MediaRenamed(const QString& from, const QString& to) override
    {
        calls.push_back("MediaRenamed " + from.toStdString() + " -> " + to.toStdString());
    }
    void StorageRootChanged() override { calls.push_back("StorageRootChanged"); }
    bool OpenFolder(const QString& path) override
    {
        calls.push_back("OpenFolder " + path.toStdString());
        return openFolderWorks;
    }

private:
    CAppSettings& settings_;
};

} // namespace kestovar::test
