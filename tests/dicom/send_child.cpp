// A station's send queue in a process of its own, for the test that kills it with
// SIGKILL mid-send: queue folder, PACS port, capture.
#include "dicom/SendQueue.h"

#include <cstdlib>
#include <thread>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    kestovar::DicomSettings settings;
    settings.pacsAeTitle = QStringLiteral("ORTHANC");
    settings.pacsHost = QStringLiteral("127.0.0.1");
    settings.pacsPort = std::atoi(argv[2]);
    settings.orgRoot = QStringLiteral("1.2.3.4");
    auto queue = kestovar::SendQueue::Create(argv[1], settings);
    queue->Start();
    if (!queue->Enqueue(argv[3], std::nullopt))
        return 1;
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}
