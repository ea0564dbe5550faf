// Device paths, USB instance ids and hot-plug events name cameras the same way.

#include "TestSupport.h"
#include "platform/CameraProvider.h"
#include "platform/UdevMonitor.h"
#include "platform/UsbDeviceIds.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kestovar;

TEST(UsbDeviceIdsTest, DevicePathAndInstanceIdUseUpperCaseFourDigitIds)
{
    EXPECT_EQ(FormCameraDevicePath("05a3", "9422", "SN123", "/dev/video2"),
        "usb#VID_05A3&PID_9422#SN123#/dev/video2");
    EXPECT_EQ(FormCameraDevicePath("5a3", "9422", "1-1.4", "/dev/video0"),
        "usb#VID_05A3&PID_9422#1-1.4#/dev/video0");
    EXPECT_EQ(FormUsbInstanceId("0c45", "6366", "SN9"), "USB\\VID_0C45&PID_6366\\SN9");
}

TEST(UsbDeviceIdsTest, ListsDevicesOfASysfsTreeAndSkipsInterfaces)
{
    test::TempDir dir;
    namespace fs = std::filesystem;
    auto device = [&](const std::string& name, const std::string& vid, const std::string& pid,
                      const std::string& serial) {
        fs::create_directories(dir / name);
        test::WriteFileText(dir / name / "idVendor", vid + "\n");
        test::WriteFileText(dir / name / "idProduct", pid + "\n");
        if (!serial.empty())
            test::WriteFileText(dir / name / "serial", serial + "\n");
    };
    device("1-1", "06f8", "4148", "PRO0001");
    device("2-3.1", "05a3", "9422", "");
    fs::create_directories(dir / "1-1:1.0"); // an interface: no ids
    test::WriteFileText(dir / "1-1:1.0" / "bInterfaceClass", "0e\n");

    const auto ids = ListUsbInstanceIds(dir.str());
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0], "USB\\VID_06F8&PID_4148\\PRO0001");
    EXPECT_EQ(ids[1], "USB\\VID_05A3&PID_9422\\2-3.1") << "without a serial the bus path names the device";
    EXPECT_TRUE(ListUsbInstanceIds((dir / "missing").string()).empty());
}

TEST(UdevMonitorTest, OpensWithoutAUdevDaemonAndReadsNothing)
{
    // A source udev does not know cannot be listened to, and says so.
    UdevMonitor bogus("no-such-source");
    std::string why;
    EXPECT_FALSE(bogus.Open(&why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(bogus.Fd(), -1);

    UdevMonitor monitor;
    if (!monitor.Open())
        GTEST_SKIP() << "no netlink socket for udev in this environment";
    EXPECT_GE(monitor.Fd(), 0);
    EXPECT_TRUE(monitor.ReadEvents().empty());
}
