#include "app/AppOptions.h"

#include <gtest/gtest.h>

using namespace kestovar;

namespace {

struct Parsed {
    OptionsResult result;
    AppOptions options;
    QString message;
};

Parsed Parse(const QStringList& args, const QString& env = {})
{
    Parsed p;
    p.options.simulatedCamera = "untouched";
    p.result = ParseAppOptions(args, env, &p.options, &p.message);
    return p;
}

} // namespace

TEST(AppOptions, NamesASimulatedCameraOnTheCommandLineOrInTheEnvironment)
{
    EXPECT_EQ(Parse({}).options.simulatedCamera, "");
    EXPECT_EQ(Parse({ "--simulate-camera=fullhd" }).options.simulatedCamera, "fullhd");
    EXPECT_EQ(Parse({ "--simulate-camera", "fullhd2" }).options.simulatedCamera, "fullhd2");
    EXPECT_EQ(Parse({ "--simulate-camera=PRO" }).options.simulatedCamera, "pro");
    EXPECT_EQ(Parse({}, "pro").options.simulatedCamera, "pro");
    // The command line wins over the environment.
    EXPECT_EQ(Parse({ "--simulate-camera=fullhd" }, "pro").options.simulatedCamera, "fullhd");
    // Qt's own arguments pass through untouched.
    Parsed qt = Parse({ "-platform", "offscreen", "--simulate-camera=pro", "-style", "fusion" });
    EXPECT_EQ(qt.result, OptionsResult::Run);
    EXPECT_EQ(qt.options.simulatedCamera, "pro");
}

TEST(AppOptions, AnUnknownCameraIsAnErrorThatSaysWhatIsAccepted)
{
    for (const Parsed& p : { Parse({ "--simulate-camera=hd" }), Parse({ "--simulate-camera" }),
             Parse({ "--simulate-camera=" }), Parse({}, "fullhd3") }) {
        EXPECT_EQ(p.result, OptionsResult::Error);
        EXPECT_TRUE(p.message.contains("fullhd, fullhd2 or pro")) << p.message.toStdString();
        EXPECT_EQ(p.options.simulatedCamera, "untouched");
    }
    EXPECT_TRUE(Parse({}, "fullhd3").message.contains("KESTOVAR_SIMULATED_CAMERA"));
}

TEST(AppOptions, HelpIsOfferedAndNamesTheOption)
{
    EXPECT_EQ(Parse({ "--help" }).result, OptionsResult::Help);
    EXPECT_EQ(Parse({ "-h", "--simulate-camera=bogus" }).result, OptionsResult::Help);
    EXPECT_TRUE(UsageText().contains("--simulate-camera=fullhd|fullhd2|pro"));
}
