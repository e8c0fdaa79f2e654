#include "DeviceDialog.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

struct TDeviceCase
{
    const char* Name;
    const char* Given;
    const char* Typed; // options typed by the user, or null to keep them
    const char* Chosen;
};

void PrintTo(const TDeviceCase& c, std::ostream* os) { *os << c.Name; }

class DeviceDialogTest : public ::testing::TestWithParam<TDeviceCase> {};

TEST_P(DeviceDialogTest, GivesTheDeviceText)
{
    const TDeviceCase& c = GetParam();
    TDeviceDialog dialog(QString::fromLatin1(c.Given));
    if (c.Typed)
        dialog.findChild<QLineEdit*>(QStringLiteral("edtOptions"))->setText(QString::fromLatin1(c.Typed));
    EXPECT_EQ(dialog.DeviceText(), QString::fromLatin1(c.Chosen));
}

INSTANTIATE_TEST_SUITE_P(Texts, DeviceDialogTest, ::testing::Values(
    TDeviceCase{"PlainKind", "emulator", nullptr, "emulator"},
    TDeviceCase{"KeepsOptions", "emulator:print=100,busy=2", nullptr, "emulator:print=100,busy=2"},
    TDeviceCase{"TypedOptions", "emulator", " shift=open ", "emulator:shift=open"},
    TDeviceCase{"ClearedOptions", "emulator:busy=2", "", "emulator"},
    TDeviceCase{"RealRegister", "tcp:127.0.0.1:5000,timeout=500", nullptr, "tcp:127.0.0.1:5000,timeout=500"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace kestrun::test
