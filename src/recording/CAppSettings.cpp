#include "recording/CAppSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace kestovar {

const std::array<const char*, CameraPropertyCount> CAppSettings::kCameraValueNames = {
    "brightness",
    "contrast",
    "hue",
    "saturation",
    "whitebalance",
    "gamma",
    "backlightcomp",
    "gain",
    "colorenable",
    "sharpness",
    "exposure",
};

const std::array<const char*, CameraPropertyCount> CAppSettings::kCameraFlagNames = {
    "auto_brightness",
    "auto_contrast",
    "auto_hue",
    "auto_saturation",
    "auto_whitebalance",
    "auto_gamma",
    "auto_backlightcomp",
    "auto_gain",
    "auto_colorenable",
    "auto_sharpness",
    "auto_exposure",
};

namespace {

bool IsFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

// "<root>/<name>", or "<root><name>" when the root already ends with the separator.
QString Subfolder(const QString& root, const char* name)
{
    return root.endsWith(u'/') ? root + QLatin1StringView(name) : root + u'/' + QLatin1StringView(name);
}

// Only the last level is made: a root on a missing drive must not be recreated
// under its mount point. A failure shows later, when a capture is written there.
void MakeFolder(const QString& path)
{
    if (!path.isEmpty() && !QFileInfo::exists(path))
        QDir().mkdir(path);
}

int32_t DefaultFlag(int property)
{
    return property == CameraWhiteBalance ? kCameraFlagAuto : kCameraFlagManual;
}

} // namespace

CAppSettings::CAppSettings()
    : CAppSettings(DefaultStorageRoot())
{
}

CAppSettings::CAppSettings(const QString& defaultRoot)
    : defaultRoot_(defaultRoot)
{
    store_.setLazyWrite(true);
    store_.setRootKey(RegRoot::LocalMachine);
    keyOpened_ = store_.OpenKey(QLatin1StringView(kKeyPath), true);
    // Without the key the station still runs on the documented defaults and with
    // working folders, rather than on zeros and empty folder names.
    LoadSettings();
    LoadCameraSettings();
    // The names are written back with everything else at exit, so they must hold
    // what is stored, not empty fields that would wipe it.
    ReadCaseNames();
    damagedFileCopy_ = store_.setAsideFile();
}

CAppSettings::~CAppSettings()
{
    SaveSettings();
    SaveCameraSettings();
    SaveCaseNames();
    store_.setRootKey(RegRoot::CurrentUser);
}

QString CAppSettings::ChooseStorageRoot(const QString& programFolder, const QString& home)
{
    // An installed program's folder belongs to the package manager: even when root
    // may write there, recordings kept there would go with the next upgrade or removal.
    const bool installed = programFolder.startsWith(QStringLiteral("/usr/"));
    if (!installed && IsFolder(programFolder)
        && ::access(QFile::encodeName(programFolder).constData(), W_OK | X_OK) == 0)
        return programFolder;
    return (home.isEmpty() ? QDir::homePath() : home) + QStringLiteral("/Kestovar");
}

QString CAppSettings::DefaultStorageRoot()
{
    QString programFolder = QCoreApplication::instance()
        ? QCoreApplication::applicationDirPath()
        : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    return ChooseStorageRoot(programFolder, QDir::homePath());
}

int32_t CAppSettings::ReadInt(const char* name, int32_t def)
{
    return keyOpened_ ? store_.ReadInt(QLatin1StringView(name), def) : def;
}

QString CAppSettings::ReadString(const char* name)
{
    return keyOpened_ ? store_.ReadString(QLatin1StringView(name), QString()) : QString();
}

void CAppSettings::WriteInt(const char* name, int32_t value)
{
    if (keyOpened_)
        store_.WriteInt(QLatin1StringView(name), value);
}

void CAppSettings::WriteString(const char* name, const QString& text)
{
    if (keyOpened_)
        store_.WriteString(QLatin1StringView(name), text);
}

void CAppSettings::LoadSettings()
{
    bitrate = ReadInt("bitrate", 1);
    framerate = ReadInt("framerate", 0);
    if (bitrate < 0 || bitrate > 2)
        bitrate = 0;
    if (framerate < 0 || framerate > 2)
        framerate = 0;
    limitrecordsize = ReadInt("limitrecordsize", 0);

    rootpath = ReadString("rootpath");
    moviepath = ReadString("moviepath");
    imagepath = ReadString("imagepath");

    // A root that is gone (a removed drive, a deleted folder) falls back to the
    // default. A root that still exists is kept even when its movie folder is gone:
    // the movie folder is made again below, where the operator chose to store.
    if (!IsFolder(rootpath)) {
        rootpath = defaultRoot_;
        if (!rootpath.isEmpty())
            QDir().mkpath(rootpath);
    }
    if (!IsFolder(moviepath) && !rootpath.isEmpty()) {
        moviepath = Subfolder(rootpath, "movie");
        MakeFolder(moviepath);
    }
    if (!IsFolder(imagepath) && !rootpath.isEmpty()) {
        imagepath = Subfolder(rootpath, "image");
        MakeFolder(imagepath);
    }
    // Nothing is written here; the derived folders are stored by the next save.
}

void CAppSettings::SaveSettings()
{
    WriteInt("bitrate", bitrate);
    WriteInt("framerate", framerate);
    WriteInt("limitrecordsize", limitrecordsize);
    WriteString("rootpath", rootpath);
    WriteString("moviepath", moviepath);
    WriteString("imagepath", imagepath);
}

void CAppSettings::LoadCameraSettings()
{
    for (int i = 0; i < CameraPropertyCount; ++i)
        cameraValue[i] = ReadInt(kCameraValueNames[i], 0);
    for (int i = 0; i < CameraPropertyCount; ++i)
        cameraFlag[i] = ReadInt(kCameraFlagNames[i], DefaultFlag(i));
}

void CAppSettings::SaveCameraSettings()
{
    for (int i = 0; i < CameraPropertyCount; ++i)
        WriteInt(kCameraValueNames[i], cameraValue[i]);
    for (int i = 0; i < CameraPropertyCount; ++i)
        WriteInt(kCameraFlagNames[i], cameraFlag[i]);
}

void CAppSettings::SetRootPath(const QString& path)
{
    // An empty root would put the folders at the top of the file system.
    if (path.isEmpty())
        return;
    rootpath = path;
    moviepath = Subfolder(path, "movie");
    imagepath = Subfolder(path, "image");
    MakeFolder(moviepath);
    MakeFolder(imagepath);
    SaveSettings();
}

void CAppSettings::SaveCaseNames()
{
    WriteString("patient_name", doctorName);
    WriteString("hostpital_name", hospitalName);
}

void CAppSettings::ReadCaseNames()
{
    if (!keyOpened_)
        return;
    doctorName = ReadString("patient_name");
    hospitalName = ReadString("hostpital_name");
}

QString CAppSettings::GetDoctorName()
{
    ReadCaseNames();
    return doctorName;
}

QString CAppSettings::GetHospitalName()
{
    ReadCaseNames();
    return hospitalName;
}

} // namespace kestovar
