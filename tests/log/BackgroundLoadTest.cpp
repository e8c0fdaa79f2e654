// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "LogBuilder.h"
#include "log/BackgroundLoad.h"
#include "log/Exception.h"

#include <QBuffer>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

const TExchange Status = {"10 1E 00 00 00", "10 00 1E 03 00 02 00 05 FF D8 00 00 00 1A 04"};
const QString BadUtf8 = u"No mapping for the Unicode character exists in the target multi-byte code page"_s;
const QString BadPacket = u"Некорректный формат пакета"_s;
const QByteArray Proto2 = "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2 ";
// A protocol-2 request whose escape byte is followed by a byte that cannot follow it.
const QByteArray BadEscape = Proto2 + "-> 8F 06 00 01 00 10 9F 82 BB 12 34\r\n" + Proto2 + "<- 06\r\n";

QByteArray StatusLog(int count) { return Protocol1Log(std::vector<TExchange>(size_t(count), Status)); }

// Gives its first part at once and the rest only once released, as a log still being written
// to a pipe does.
class TGatedDevice final : public QIODevice
{
public:
    TGatedDevice(QByteArray first, QByteArray rest, std::shared_future<void> released)
        : FFirst(std::move(first)), FRest(std::move(rest)), FReleased(std::move(released))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (FFirst.isEmpty())
            FReleased.wait();
        QByteArray& part = FFirst.isEmpty() ? FRest : FFirst;
        const qint64 size = std::min<qint64>(maxSize, part.size());
        std::memcpy(data, part.constData(), size_t(size));
        part.remove(0, size);
        return size;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray FFirst;
    QByteArray FRest;
    std::shared_future<void> FReleased;
};

// Polls until `done` holds; false when it did not within a minute (a loaded machine included).
bool WaitFor(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TLogFeed BufferFeed(const QByteArray& bytes)
{
    return DeviceFeed([bytes] {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(bytes);
        buffer->open(QIODevice::ReadOnly);
        return buffer;
    });
}

// Lets TGatedDevice go on; at the latest when it goes out of scope, so that a failed check never
// leaves the load's thread waiting.
class TGate
{
public:
    ~TGate() { Release(); }
    void Release()
    {
        if (!FOpen) {
            FOpen = true;
            FPromise.set_value();
        }
    }
    std::shared_future<void> Released() const { return FReleased; }

private:
    std::promise<void> FPromise;
    std::shared_future<void> FReleased = FPromise.get_future().share();
    bool FOpen = false;
};

TEST(BackgroundLoadTest, HandsOverSettledCommandsBeforeTheLogEnds)
{
    // More than one reading chunk comes at once, so its commands are parsed while the rest waits.
    constexpr int FirstCount = 2000;
    constexpr int RestCount = 1000;
    std::unique_ptr<TBackgroundLoad> load;
    TGate gate;
    load = std::make_unique<TBackgroundLoad>(DeviceFeed([released = gate.Released()] {
        return std::make_unique<TGatedDevice>(StatusLog(FirstCount), StatusLog(RestCount), released);
    }), QStringList());

    ASSERT_TRUE(WaitFor([&] { return load->HasSettled(); }));
    EXPECT_FALSE(load->Ended());
    EXPECT_EQ(load->Take(5).size(), 5);
    qsizetype taken = 5 + load->Take(FirstCount).size();
    EXPECT_LE(taken, FirstCount);
    EXPECT_FALSE(load->Done());

    gate.Release();
    ASSERT_TRUE(WaitFor([&] { return load->Ended(); }));
    taken += load->Take(FirstCount + RestCount).size();
    EXPECT_EQ(taken, FirstCount + RestCount);
    EXPECT_TRUE(load->Done());
    EXPECT_TRUE(load->Error().isNull());
}

struct TOutcomeCase
{
    std::string Name;
    std::function<TLogFeed()> Feed;
    qsizetype Commands; // handed over in all; -1 when the count does not matter after a fault
    QString Error;
};

class BackgroundLoadOutcomeTest : public ::testing::TestWithParam<TOutcomeCase>
{
};

TEST_P(BackgroundLoadOutcomeTest, EndsAsAWholeLoadEnds)
{
    const TOutcomeCase& c = GetParam();
    TBackgroundLoad load(c.Feed(), {});
    ASSERT_TRUE(WaitFor([&] { return load.Ended(); }));
    const qsizetype taken = load.Take(1 << 20).size();
    EXPECT_TRUE(load.Done());
    if (c.Commands >= 0) {
        EXPECT_EQ(taken, c.Commands);
    }
    EXPECT_EQ(load.Error(), c.Error);
    EXPECT_EQ(load.Error().isNull(), c.Error.isNull());
}

INSTANTIATE_TEST_SUITE_P(Cases, BackgroundLoadOutcomeTest, ::testing::Values(
    TOutcomeCase{"EmptyLog", [] { return BufferFeed({}); }, 0, {}},
    TOutcomeCase{"FileLog", [] { return BufferFeed(StatusLog(3000)); }, 3000, {}},
    TOutcomeCase{"PastedText", [] { return TextFeed(QString::fromLatin1(StatusLog(3))); }, 3, {}},
    TOutcomeCase{"UnfinishedLastRequest", [] { return BufferFeed(StatusLog(2) + Protocol1Log({{"11 1E 00 00 00", nullptr}})); }, 3, {}},
    TOutcomeCase{"OpenFails", [] {
        return DeviceFeed([]() -> std::unique_ptr<QIODevice> { throw Exception(u"Не удалось открыть файл лога x"_s); });
    }, 0, u"Не удалось открыть файл лога x"_s},
    TOutcomeCase{"PacketError", [] { return BufferFeed(StatusLog(2000) + BadEscape + StatusLog(2)); }, -1, BadPacket},
    TOutcomeCase{"BadUtf8WinsOverAnEarlierPacketError", [] {
        return BufferFeed("\xEF\xBB\xBF" + StatusLog(2000) + BadEscape + StatusLog(2) + "\xFF\r\n");
    }, -1, BadUtf8}),
    CaseName());

TEST(BackgroundLoadTest, ReadExclusionLinesDropTheirCommands)
{
    TBackgroundLoad load(BufferFeed(StatusLog(3) + Protocol1Log({{"11 1E 00 00 00", "11 00 1E 03"}})), {u"10"_s});
    ASSERT_TRUE(WaitFor([&] { return load.Ended(); }));
    EXPECT_EQ(load.Take(100).size(), 1);
}

TEST(BackgroundLoadTest, StopsWhenDestroyedInTheMiddle)
{
    // No hang and nothing left running: the destructor stops the parsing and waits for it.
    const QString text = QString::fromLatin1(StatusLog(20000));
    for (int i = 0; i < 5; ++i)
        TBackgroundLoad load(TextFeed(text), {});
}

} // namespace
} // namespace kestrun::test
