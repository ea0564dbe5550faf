#include "app/AppOptions.h"

namespace kestovar {

namespace {

const QLatin1StringView kCameraOption("--simulate-camera");

bool KnownModel(const QString& model)
{
    return model == QLatin1StringView("fullhd") || model == QLatin1StringView("fullhd2")
        || model == QLatin1StringView("pro");
}

bool TakeModel(const QString& given, const QString& source, QString* model, QString* message)
{
    const QString normalised = given.trimmed().toLower();
    if (!KnownModel(normalised)) {
        *message = QStringLiteral("unknown simulated camera \"%1\" in %2; use fullhd, fullhd2 or pro")
                       .arg(given, source);
        return false;
    }
    *model = normalised;
    return true;
}

} // namespace

QString UsageText()
{
    return QStringLiteral(
        "Usage: kestovar [--simulate-camera=fullhd|fullhd2|pro]\n"
        "\n"
        "Capture station for Kestovar USB surgical cameras.\n"
        "\n"
        "  --simulate-camera=MODEL  use a simulated camera instead of the attached one:\n"
        "                           fullhd (H.264), fullhd2 (H.264) or pro (MJPG)\n"
        "  -h, --help               show this text\n"
        "\n"
        "Environment: KESTOVAR_SIMULATED_CAMERA (as the option), KESTOVAR_REGISTRY_DIR\n"
        "(folder of the settings files), KESTOVAR_LOCK_DIR (folder of the instance lock).\n");
}

OptionsResult ParseAppOptions(
    const QStringList& args, const QString& envCamera, AppOptions* out, QString* message)
{
    AppOptions options;
    if (!envCamera.isEmpty()
        && !TakeModel(
            envCamera, QStringLiteral("KESTOVAR_SIMULATED_CAMERA"), &options.simulatedCamera, message))
        return OptionsResult::Error;

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1StringView("--help") || arg == QLatin1StringView("-h"))
            return OptionsResult::Help;
        if (arg == kCameraOption) {
            if (i + 1 >= args.size()) {
                *message = QStringLiteral("--simulate-camera needs a model: fullhd, fullhd2 or pro");
                return OptionsResult::Error;
            }
            if (!TakeModel(args[++i], kCameraOption, &options.simulatedCamera, message))
                return OptionsResult::Error;
        } else if (arg.startsWith(kCameraOption + u'=')) {
            if (!TakeModel(
                    arg.mid(kCameraOption.size() + 1), kCameraOption, &options.simulatedCamera, message))
                return OptionsResult::Error;
        }
    }
    *out = options;
    return OptionsResult::Run;
}

} // namespace kestovar
