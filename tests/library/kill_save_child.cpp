// Saves the station's settings or a case information file over and over, alternating
// between two versions, until it is killed. kill_save_test kills it at random moments
// and checks what it left on disk.
//
//   kill_save_child settings <storage root> <first version>   (KESTOVAR_REGISTRY_DIR: hive folder)
//   kill_save_child case <movie path> <first version>
//
// It writes "ready" to its standard output when it is about to save for the first time,
// so the parent's random wait measures from there.

#include "KillSaveVersions.h"

#include "library/CaseInfoFile.h"
#include "recording/CAppSettings.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    using namespace kestovar;
    if (argc != 4) {
        std::fprintf(stderr, "usage: kill_save_child settings|case <path> 0|1\n");
        return 2;
    }
    const unsigned first = argv[3][0] == '1' ? 1 : 0;
    auto ready = [] {
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
    };
    if (std::strcmp(argv[1], "settings") == 0) {
        CAppSettings settings(QString::fromLocal8Bit(argv[2]));
        ready();
        for (unsigned i = first;; ++i)
            test::ApplySettingsVersion(settings, static_cast<int>(i % 2));
    }
    if (std::strcmp(argv[1], "case") == 0) {
        ready();
        for (unsigned i = first;; ++i)
            WriteCaseInfoFile(argv[2], test::CaseVersion(static_cast<int>(i % 2)));
    }
    return 2;
}
