#include "app/DesktopAwake.h"

#include "platform/IdleInhibitor.h"

namespace kestovar {

DesktopAwake::DesktopAwake(std::function<AppMode()> mode, std::unique_ptr<IdleInhibitor> inhibitor, QObject* parent)
    : QObject(parent)
    , mode_(std::move(mode))
    , inhibitor_(std::move(inhibitor))
{
    timer_.setInterval(kCheckMs);
    connect(&timer_, &QTimer::timeout, this, &DesktopAwake::Check);
    timer_.start();
}

DesktopAwake::~DesktopAwake() = default;

bool DesktopAwake::KeepsAwake(AppMode mode)
{
    return mode == AppMode::Live || mode == AppMode::Recording || mode == AppMode::Playing;
}

void DesktopAwake::Check()
{
    inhibitor_->SetInhibited(KeepsAwake(mode_()), QStringLiteral("Live picture, recording or playback of a case"));
}

} // namespace kestovar
