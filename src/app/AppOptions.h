#pragma once
// The command line and environment of the station.
//
//   --simulate-camera=fullhd|fullhd2|pro   (or --simulate-camera <model>)
//   KESTOVAR_SIMULATED_CAMERA=fullhd|fullhd2|pro   the same; the option wins
//   --help, -h
//
// Every other argument is left to Qt (-platform, -style, ...) and otherwise ignored.

#include <QString>
#include <QStringList>

namespace kestovar {

struct AppOptions {
    // "fullhd", "fullhd2" or "pro": the simulated camera to use instead of the real
    // devices; empty for the real devices. The capture engine reads it when it picks
    // its camera provider.
    QString simulatedCamera;
};

enum class OptionsResult {
    Run, // start the station with the options
    Help, // print UsageText() and end with status 0
    Error, // print the message and end with status 2
};

// `args` without the program name. `envCamera` is $KESTOVAR_SIMULATED_CAMERA (empty
// when unset).
OptionsResult ParseAppOptions(
    const QStringList& args, const QString& envCamera, AppOptions* out, QString* message);

QString UsageText();

} // namespace kestovar
