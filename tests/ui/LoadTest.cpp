// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiTestSupport.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

const TExchange Status = {"10 1E 00 00 00", "10 00 1E 03 00 02 00 05 FF D8 00 00 00 1A 04"};
const QString Loading = u"Загрузка..."_s;
// More than one reading chunk, so its commands are parsed while the rest of the log waits.
constexpr int FirstCount = 2000;
constexpr int RestCount = 1000;

QByteArray StatusLog(int count) { return Protocol1Log(std::vector<TExchange>(size_t(count), Status)); }

// A log that a program writes to a pipe: the first part at once, the rest once the test
// releases it (at the latest when the writer goes out of scope), as a log unpacked by another
// program arrives.
class TPipeWriter
{
public:
    TPipeWriter(const QString& path, QByteArray first, QByteArray rest)
    {
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        FThread = std::thread([this, name = QFile::encodeName(path), first = std::move(first), rest = std::move(rest)] {
            // A reader that stops early makes the writes fail instead of ending the test program.
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
            const int fd = OpenForWriting(name);
            if (fd < 0)
                return;
            if (WriteAll(fd, first))
                if (FReleased.wait_for(std::chrono::minutes(1)) == std::future_status::ready)
                    WriteAll(fd, rest);
            ::close(fd);
        });
    }
    ~TPipeWriter()
    {
        Release();
        FThread.join();
    }

    void Release()
    {
        if (!FReleasedOnce) {
            FReleasedOnce = true;
            FRelease.set_value();
        }
    }

private:
    // Waits for the reader, a minute at most.
    static int OpenForWriting(const QByteArray& name)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (std::chrono::steady_clock::now() < deadline) {
            const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
                return fd;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return -1;
    }
    static bool WriteAll(int fd, const QByteArray& bytes)
    {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }

    std::promise<void> FRelease;
    std::shared_future<void> FReleased = FRelease.get_future().share();
    bool FReleasedOnce = false;
    std::thread FThread;
};

// Loads a log arriving through a pipe and acts once, when the first rows are in the list while
// the load still runs.
class BackgroundLoadTest : public TWindowTest
{
protected:
    QString PipePath() const { return Path(u"pipe.log"_s); }
    QString Label() const { return Child<QLabel>("lblFileName")->text(); }

    // RowsWhileLoading tells how many rows the list showed when `act` ran.
    void LoadThroughPipe(const QByteArray& first, const QByteArray& rest, const std::function<void(TPipeWriter&)>& act)
    {
        TPipeWriter writer(PipePath(), first, rest);
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (Model()->rowCount() == 0 || Label() != Loading)
                return;
            watch.stop();
            RowsWhileLoading = Model()->rowCount();
            act(writer);
        });
        watch.start();
        Window->LoadLogFile(PipePath());
    }

    int RowsWhileLoading = 0;
};

TEST_F(BackgroundLoadTest, RowsComeBeforeTheLoadEndsAndNothingReplacesOrReplaysAHalfLoadedList)
{
    Dialogs.SaveFileName = Path(u"listing.txt"_s);
    bool finishedDuringLoad = false;
    LoadThroughPipe(StatusLog(FirstCount), StatusLog(RestCount), [&](TPipeWriter& writer) {
        Click("btnStart");
        finishedDuringLoad = Window->Finished();
        Trigger("N2");
        writer.Release();
    });
    EXPECT_GT(RowsWhileLoading, 0);
    EXPECT_LE(RowsWhileLoading, FirstCount);
    EXPECT_TRUE(finishedDuringLoad);
    EXPECT_FALSE(QFileInfo::exists(Dialogs.SaveFileName));
    EXPECT_EQ(Model()->rowCount(), FirstCount + RestCount);
    EXPECT_EQ(Window->Commands().size(), FirstCount + RestCount);
    EXPECT_EQ(Label(), PipePath());
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(BackgroundLoadTest, OpeningAnotherLogCancelsTheLoadUnderWay)
{
    const QString other = Path(u"other.log"_s);
    WriteFile(other, StatusLog(3));
    bool otherLoaded = false;
    LoadThroughPipe(StatusLog(FirstCount), StatusLog(RestCount), [&](TPipeWriter& writer) {
        writer.Release();
        Window->LoadLogFile(other);
        otherLoaded = Window->Commands().size() == 3;
    });
    EXPECT_GT(RowsWhileLoading, 0);
    EXPECT_TRUE(otherLoaded);
    EXPECT_EQ(Model()->rowCount(), 3);
    EXPECT_EQ(Window->Commands().size(), 3);
    EXPECT_EQ(Label(), other);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(BackgroundLoadTest, ClosingTheWindowStopsTheLoad)
{
    LoadThroughPipe(StatusLog(FirstCount), StatusLog(RestCount), [&](TPipeWriter& writer) {
        writer.Release();
        Window->close();
    });
    EXPECT_GT(RowsWhileLoading, 0);
    EXPECT_FALSE(Window->isVisible());
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Window.reset();
}

TEST_F(BackgroundLoadTest, FaultAfterTheFirstRowsLeavesAnEmptyListAndSaysWhy)
{
    LoadThroughPipe("\xEF\xBB\xBF" + StatusLog(FirstCount), StatusLog(RestCount) + "\xFF\r\n",
                    [](TPipeWriter& writer) { writer.Release(); });
    EXPECT_GT(RowsWhileLoading, 0);
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_EQ(Dialogs.Errors.constFirst(),
              u"No mapping for the Unicode character exists in the target multi-byte code page"_s);
    EXPECT_EQ(Model()->rowCount(), 0);
    EXPECT_TRUE(Window->Commands().isEmpty());
    EXPECT_EQ(Label(), OpenPrompt);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace kestrun::test
