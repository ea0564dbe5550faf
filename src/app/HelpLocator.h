#pragma once
// Where the station's help is, and what to hand the desktop to show it.
//
// The help is built twice from the same pages: as the HTML Help file
// "Kestovar_Full_HD_Help.chm" in the program's folder, and as plain pages in the
// folder's "help" subfolder. When a CHM viewer is installed it shows the CHM, with
// its contents, index and search. Without one the desktop would offer the CHM to a
// browser that only downloads it, so the same pages are opened as HTML instead.
//
// Whether a CHM viewer is installed is answered from the XDG folders, as xdg-mime
// answers it: the mimeapps.list files (per desktop first, then the general one; the
// config folders before the data folders' "applications" subfolders, then the
// older defaults.list), their "Default Applications" and "Added Associations" for
// the CHM types, then every installed desktop entry whose MimeType= names one. A
// desktop entry counts only when it is installed and usable: found under an
// "applications" folder by its desktop file ID, not Hidden, an Application, with
// something to run (Exec, or D-Bus activation) and its TryExec program present. An
// application named under "Removed Associations" of a list does not count for that
// list or any list of lower precedence, nor by its MimeType= line.
//
// Everything is read afresh on each Locate(), so a viewer installed while the
// station runs is used at the next press of Help. No state beyond the inputs; any
// thread.

#include <QString>
#include <QStringList>
#include <QUrl>

namespace kestovar {

// The XDG base directories and the current desktop, as the process sees them.
struct XdgEnvironment {
    QString configHome; // $XDG_CONFIG_HOME, else ~/.config
    QStringList configDirs; // $XDG_CONFIG_DIRS, else /etc/xdg
    QString dataHome; // $XDG_DATA_HOME, else ~/.local/share
    QStringList dataDirs; // $XDG_DATA_DIRS, else /usr/local/share and /usr/share
    QStringList desktops; // $XDG_CURRENT_DESKTOP, lower-cased, in its order

    // From the environment; unset, empty and relative entries fall back to the
    // defaults above, as the XDG base directory rules say.
    static XdgEnvironment FromProcess();
};

class HelpLocator {
public:
    static constexpr const char* kHelpFileName = "Kestovar_Full_HD_Help.chm";
    static constexpr const char* kPagesFolder = "help";
    // The CHM type and its alias.
    static const QStringList& ChmMimeTypes();

    enum class Choice {
        Chm, // the CHM, with a viewer for it
        Pages, // help/index.html in the web browser
        ChmWithoutViewer, // only the CHM exists: handed to the desktop all the same
        Nothing, // no help is installed
    };
    struct Result {
        Choice choice = Choice::Nothing;
        QUrl url; // empty for Nothing
    };

    HelpLocator(QString programFolder, XdgEnvironment env);

    // What to open. The URL names the file itself, symbolic links resolved, so the
    // viewer or browser sees the installed file and not the program folder's link.
    Result Locate() const;

    // <program folder>/Kestovar_Full_HD_Help.chm and <program folder>/help/index.html.
    QString ChmPath() const;
    QString IndexPath() const;

    // The desktop file ID of an installed application that opens CHM files (for
    // example "xchm.desktop"); empty when there is none.
    QString ChmViewer() const;

private:
    QString programFolder_;
    XdgEnvironment env_;
};

} // namespace kestovar
