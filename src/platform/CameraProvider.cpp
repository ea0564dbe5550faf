#include "platform/CameraProvider.h"

#include "platform/SimulatedCameraProvider.h"
#include "platform/UdevCameraProvider.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace kestovar {
namespace {

struct Selection {
    std::mutex mutex;
    std::shared_ptr<CameraProvider> provider;
    std::shared_ptr<SimulatedCameraProvider> simulated;
    bool decided = false;
};

Selection& Current()
{
    static Selection s;
    return s;
}

// Under the selection's lock.
void DecideDefault(Selection& s)
{
    if (s.decided)
        return;
    s.decided = true;
    if (const char* name = std::getenv("KESTOVAR_SIMULATED_CAMERA"); name && *name) {
        if (auto model = SimulatedCameraDevice::ModelFromName(name)) {
            s.simulated = std::make_shared<SimulatedCameraProvider>(*model);
            s.provider = s.simulated;
            return;
        }
        std::fprintf(stderr,
            "camera: KESTOVAR_SIMULATED_CAMERA=%s is not fullhd, fullhd2 or pro; using real cameras\n", name);
    }
    s.provider = std::make_shared<UdevCameraProvider>();
}

} // namespace

std::shared_ptr<CameraProvider> CurrentCameraProvider()
{
    Selection& s = Current();
    std::lock_guard lock(s.mutex);
    DecideDefault(s);
    return s.provider;
}

void SetCameraProvider(std::shared_ptr<CameraProvider> provider)
{
    Selection& s = Current();
    std::lock_guard lock(s.mutex);
    s.simulated = std::dynamic_pointer_cast<SimulatedCameraProvider>(provider);
    s.provider = std::move(provider);
    s.decided = s.provider != nullptr;
}

bool SelectSimulatedCamera(std::string_view model)
{
    const auto m = SimulatedCameraDevice::ModelFromName(model);
    if (!m)
        return false;
    SetCameraProvider(std::make_shared<SimulatedCameraProvider>(*m));
    return true;
}

std::shared_ptr<SimulatedCameraProvider> ActiveSimulatedCamera()
{
    Selection& s = Current();
    std::lock_guard lock(s.mutex);
    DecideDefault(s);
    return s.simulated;
}

} // namespace kestovar
