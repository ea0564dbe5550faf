// The station's program: options, the single-instance check, then the application
// object (see CKestovarApp.h for the whole sequence).

#include "app/AppOptions.h"
#include "app/CKestovarApp.h"
#include "dialogs/CDlgSplash.h"
#include "platform/InstanceLock.h"
#include "platform/SignalBridge.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace kestovar;

int main(int argc, char** argv)
{
    // First of all: from here on SIGTERM and SIGINT wait for the event loop and take
    // the normal close path instead of killing a half-started station.
    SignalBridge::InstallHandlers();

    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    AppOptions options;
    QString message;
    switch (ParseAppOptions(args, qEnvironmentVariable("KESTOVAR_SIMULATED_CAMERA"), &options, &message)) {
    case OptionsResult::Help:
        std::fputs(qPrintable(UsageText()), stdout);
        return 0;
    case OptionsResult::Error:
        std::fprintf(stderr, "kestovar: %s\n", qPrintable(message));
        return 2;
    case OptionsResult::Run:
        break;
    }

    // Before anything is loaded or built: a second copy ends here, silently and with
    // status 0, leaving the running station's settings, folders and files exactly as
    // they are. (Loading and saving the settings here would overwrite the first copy's
    // changes with stale values at exit.)
    InstanceLock instance(QString::fromLatin1(kInstanceName));
    if (instance.HeldByAnother())
        return 0;
    if (instance.state() == InstanceLock::Unavailable)
        std::fprintf(stderr,
            "kestovar: cannot use the instance lock %s (%s); a second copy will not be stopped\n",
            qPrintable(instance.filePath()), std::strerror(instance.error()));

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestovar"));
    // The splash goes up first, before the settings are read, the camera is looked
    // for and the main window is built; the main window takes it down once it shows.
    auto splash = std::make_unique<CDlgSplash>();
    splash->ShowNow();
    splash->WaitUntilShown();
    CKestovarApp app(options);
    app.splash = std::move(splash);
    return app.Run();
}
