// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "log/Codepages.h"
#include "log/Exception.h"
#include "log/LogLoader.h"
#include "log/LogReader.h"
#include "log/LogText.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrun;

namespace {

const QString BadUtf8 = QStringLiteral("No mapping for the Unicode character exists in the target multi-byte code page");

QByteArray Utf16(const QString& text, bool little)
{
    QByteArray bytes;
    for (QChar c : text) {
        const char low = char(c.unicode() & 0xFF);
        const char high = char(c.unicode() >> 8);
        bytes.append(little ? low : high);
        bytes.append(little ? high : low);
    }
    return bytes;
}

struct ReadCase
{
    const char* Name;
    QByteArray Bytes;
    QStringList Lines;
    QString Error;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.Name; }

class ReadLogStreamTest : public ::testing::TestWithParam<ReadCase> {};

// Read on the calling thread or ahead on a thread of its own, a log gives the same lines and error.
TEST_P(ReadLogStreamTest, SplitsAndDecodes)
{
    for (const auto read : {ReadLogStream, ReadLogStreamAhead}) {
        QByteArray bytes = GetParam().Bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QStringList lines;
        TLineCollector collector(lines);
        QString error;
        try {
            read(buffer, TTextEncoding::teWindows1251, collector, {});
        } catch (const Exception& e) {
            error = e.Message();
        }
        EXPECT_EQ(error, GetParam().Error);
        EXPECT_EQ(lines, GetParam().Lines);
    }
}

const QString Cyrillic = QStringLiteral("Касса №1: ошибка");
const QByteArray LongLine((1 << 20) - 1, 'x');

INSTANTIATE_TEST_SUITE_P(Cases, ReadLogStreamTest, ::testing::Values(
    ReadCase{"Empty", "", {}, {}},
    ReadCase{"NoFinalTerminator", "a\r\nb", {"a", "b"}, {}},
    ReadCase{"FinalCrLfMakesNoEmptyLine", "a\r\nb\r\n", {"a", "b"}, {}},
    ReadCase{"MixedTerminators", "a\r\nb\rc\nd\n\re", {"a", "b", "c", "d", "", "e"}, {}},
    ReadCase{"EmptyLinesKept", "\r\n\r\nx\n\n", {"", "", "x", ""}, {}},
    ReadCase{"LoneTerminator", "\n", {""}, {}},
    ReadCase{"NulBytesKept", QByteArray("a\0b\nc", 5), {QString::fromLatin1("a\0b", 3), "c"}, {}},
    ReadCase{"Windows1251ByDefault", UnicodeToCp1251(Cyrillic) + "\r\n", {Cyrillic}, {}},
    ReadCase{"Utf8WithMark", "\xEF\xBB\xBF" + Cyrillic.toUtf8() + "\r\nz", {Cyrillic, "z"}, {}},
    ReadCase{"Utf8WithoutMarkReadAs1251", Cyrillic.toUtf8(), {Cp1251ToUnicode(Cyrillic.toUtf8())}, {}},
    ReadCase{"Utf16LE", "\xFF\xFE" + Utf16(Cyrillic + "\r\nb\r", true), {Cyrillic, "b"}, {}},
    ReadCase{"Utf16BE", "\xFE\xFF" + Utf16(Cyrillic + "\nb", false), {Cyrillic, "b"}, {}},
    ReadCase{"Utf16OddLastByte", "\xFF\xFE" + Utf16("ab", true) + "c", {QStringLiteral("ab\uFFFD")}, {}},
    ReadCase{"Utf8InvalidSequence", "\xEF\xBB\xBF" "one\r\ntwo\r\nt\xC0\x80hree\r\nfour", {"one", "two"}, BadUtf8},
    ReadCase{"Utf8TruncatedAtEnd", "\xEF\xBB\xBF" "one\n\xD0", {"one"}, BadUtf8},
    ReadCase{"Utf8EncodedSurrogate", "\xEF\xBB\xBF" "\xED\xA0\x80", {}, BadUtf8},
    // Long lines are searched a block at a time: terminators inside and at the edges of later blocks.
    ReadCase{"TerminatorsInLaterBlocks", "0123456789abcdef\r0123456789abcd\n0123456789abcdefghijklmnopqrstu\r\nv",
             {"0123456789abcdef", "0123456789abcd", "0123456789abcdefghijklmnopqrstu", "v"}, {}},
    ReadCase{"CrOnlyLongLines", "0123456789abcdefghijklmnopqrstuvwxyz\r0123456789abcdefghijklmnopqrstuvwxyz\r",
             {"0123456789abcdefghijklmnopqrstuvwxyz", "0123456789abcdefghijklmnopqrstuvwxyz"}, {}},
    ReadCase{"CrLfAcrossChunks", LongLine + "\r\nb", {QString::fromLatin1(LongLine), "b"}, {}},
    ReadCase{"LineAcrossChunks", LongLine + "yz\nb", {QString::fromLatin1(LongLine + "yz"), "b"}, {}}),
    kestrun::test::CaseName());

// A sink that gives up after some lines, as a parser does on a broken frame.
class TStoppingSink final : public ILogLineSink
{
public:
    explicit TStoppingSink(int stopAt) : FStopAt(stopAt) {}
    void AddLine(QByteArrayView line) override { Take(QString::fromLatin1(line)); }
    void AddLine(QStringView line) override { Take(line.toString()); }
    QStringList Lines;

private:
    void Take(const QString& line)
    {
        if (Lines.size() == FStopAt)
            throw Exception(QStringLiteral("stop"));
        Lines << line;
    }
    int FStopAt;
};

// Lines are read ahead while the sink works: when the sink stops, the reading stops with it,
// the sink's error comes out and nothing after it reached the sink.
TEST(ReadLogStreamStop, TheSinksErrorEndsTheReading)
{
    QByteArray bytes;
    for (int i = 0; i < 400000; ++i)
        bytes += "line " + QByteArray::number(i) + "\r\n";
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TStoppingSink sink(300000);
    try {
        ReadLogStreamAhead(buffer, TTextEncoding::teWindows1251, sink);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("stop"));
    }
    ASSERT_EQ(sink.Lines.size(), 300000);
    EXPECT_EQ(sink.Lines.constFirst(), QStringLiteral("line 0"));
    EXPECT_EQ(sink.Lines.constLast(), QStringLiteral("line 299999"));
}

TEST(SplitLogTextTest, SplitsAtEveryTerminator)
{
    EXPECT_EQ(SplitLogText(u"a\r\nб\rc\n\nd\r\n"), (QStringList{"a", QStringLiteral("б"), "c", "", "d"}));
    EXPECT_EQ(SplitLogText(u""), QStringList());
}

TEST(ReadIgnoreCodesTest, OneCodePerLine)
{
    EXPECT_EQ(ReadIgnoreCodes({"FF 0A", "", "10", "FF0A", "zz", "ff 45 01"}),
              (QList<int32_t>{0xFF0A, 0, 0x10, 0xFF0A, 0, 0xFF45}));
}

class LogFileTest : public ::testing::Test
{
protected:
    QString Write(const QByteArray& bytes)
    {
        const QString name = FDir.filePath(QStringLiteral("driver.log"));
        QFile file(name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return name;
    }

    // The message of the error a load of `name` raises; empty when it raises none.
    static QString LoadError(const QString& name, TCommands& commands)
    {
        try {
            LoadLogFile(name, {}, commands);
        } catch (const Exception& e) {
            return e.Message();
        }
        return {};
    }

    QTemporaryDir FDir;
};

TEST_F(LogFileTest, MissingFileLeavesLinesAlone)
{
    const QString name = FDir.filePath(QStringLiteral("absent.log"));
    QStringList lines = {"kept"};
    try {
        ReadLogLines(name, TTextEncoding::teWindows1251, lines);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(name));
    }
    EXPECT_EQ(lines, QStringList{"kept"});
}

TEST_F(LogFileTest, DirectoryCannotBeOpened)
{
    QStringList lines;
    try {
        ReadLogLines(FDir.path(), TTextEncoding::teWindows1251, lines);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot open file \"%1\". Is a directory").arg(FDir.path()));
    }
}

TEST_F(LogFileTest, ReadsFileStillOpenForWriting)
{
    const QString name = FDir.filePath(QStringLiteral("live.log"));
    QFile writer(name);
    ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
    writer.write("first\r\nsecond");
    writer.flush();
    QStringList lines = {"old"};
    ReadLogLines(name, TTextEncoding::teWindows1251, lines);
    EXPECT_EQ(lines, (QStringList{"first", "second"}));
}

TEST_F(LogFileTest, BadUtf8LoadsNothing)
{
    const QString name = Write("\xEF\xBB\xBF" "[12.03.2024 10:15:30.123] [1] [DEBUG] TPrinterProtocol -> 03 10 AA BB\r\n"
                               "[12.03.2024 10:15:30.123] [1] [DEBUG] TPrinterProtocol <- 06\r\n\xFF\r\n");
    TCommands commands(3);
    EXPECT_EQ(LoadError(name, commands), BadUtf8);
    EXPECT_TRUE(commands.isEmpty());
}

// The text is read as a whole before it is parsed, so a bad byte sequence anywhere wins over
// a packet error in an earlier line.
TEST_F(LogFileTest, BadUtf8WinsOverAnEarlierPacketError)
{
    const QByteArray t = "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2 ";
    const QString name = Write("\xEF\xBB\xBF" + t + "-> 8F 06 00 01 00 10 AA BB 12 34\r\n" + t + "<- 06\r\n" +
                               "x\r\n" + t + "-> 8F 06 00 01 00 10 9F 82 BB 12 34\r\n" + t + "<- 06\r\n" +
                               "x\r\n\xFF\r\n");
    TCommands commands;
    EXPECT_EQ(LoadError(name, commands), BadUtf8);
    EXPECT_TRUE(commands.isEmpty());
}

TEST_F(LogFileTest, PacketErrorKeepsTheCommandsBeforeIt)
{
    const QByteArray t = "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2 ";
    const QString name = Write("\xEF\xBB\xBF" + t + "-> 8F 06 00 01 00 10 AA BB 12 34\r\n" + t + "<- 06\r\n" +
                               "x\r\n" + t + "-> 8F 06 00 01 00 10 9F 82 BB 12 34\r\n" + t + "<- 06\r\n" +
                               "x\r\n\xD0\x96\r\n");
    TCommands commands;
    EXPECT_EQ(LoadError(name, commands), QStringLiteral("Некорректный формат пакета"));
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0].Data(), "10 AA BB");
}

TEST_F(LogFileTest, ReportsProgressUpToWholeFile)
{
    const QString name = Write(QByteArray(3 << 20, 'a'));
    QList<double> fractions;
    TCommands commands;
    LoadLogFile(name, {}, commands, [&fractions](double f) { fractions << f; });
    ASSERT_FALSE(fractions.isEmpty());
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_DOUBLE_EQ(fractions.last(), 1.0);
}

// Characters are counted as characters, not as bytes or UTF-16 units.
TEST_F(LogFileTest, Utf8CutsOnCharacters)
{
    const QString prefix = QStringLiteral("[12.03.2024 10:15:30.123] [Касса\U0001F600]");
    const QString protocol = QStringLiteral(" [DEBUG] TPrinterProtocol ");
    const QStringList lines = {prefix + protocol + "-> 05", prefix + protocol + "-> 02 03 10 AA BB 02",
                               prefix + protocol + "<- 06", prefix + QStringLiteral(" [ERROR] TFiscalPrinter - сбой \U0001F600")};
    const QString name = Write("\xEF\xBB\xBF" + lines.join(QStringLiteral("\r\n")).toUtf8());
    TCommands commands;
    LoadLogFile(name, {}, commands);
    ASSERT_EQ(commands.size(), 2);
    const QByteArray attributes = UnicodeToCp1251(QStringLiteral("[12.03.2024 10:15:30.123] [Касса?] ["));
    EXPECT_EQ(commands[0].Attributes(), attributes);
    EXPECT_EQ(commands[0].Data(), "10 AA BB");
    EXPECT_EQ(commands[1].Attributes(), attributes);
    EXPECT_EQ(commands[1].DriverError(), QStringLiteral("- сбой \U0001F600"));
}

TEST(LoadLogTextTest, ParsesPastedText)
{
    TCommands commands;
    LoadLogText(QStringLiteral("x\r\n[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2 -> 8F 06 00 01 00 10 AA 12 34\n"
                               "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2 <- 8F 07 00 01 00 10 00 56 78"),
                {QStringLiteral("11")}, commands);
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0].Data(), "10 AA");
    EXPECT_EQ(commands[0].AnswerData(), "10 00");
    EXPECT_EQ(commands[0].LineNumber, 2);
}

} // namespace

namespace {

TCommands StreamAll(const QString& name, QString* error = nullptr, TReadThread reading = TReadThread::rtCalling)
{
    TCommands streamed;
    try {
        StreamLogFile(name, {}, [&streamed](const TCommands& batch) { streamed += batch; }, reading);
    } catch (const Exception& e) {
        if (!error)
            throw;
        *error = e.Message();
    }
    return streamed;
}

// Many exchanges, so that batches end at chunk boundaries in the middle of an exchange.
QByteArray ManyExchanges(int count)
{
    QByteArray log;
    for (int i = 0; i < count; ++i) {
        const QByteArray t = "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol ";
        log += t + "-> 05\r\n" + t + "<- 15\r\n" + t + "-> 02 05 10 1E 00 00 00 0B\r\n" + t + "<- 06\r\n";
        log += t + "<- 02\r\n" + t + "<- 04\r\n" + t + "<- 10 00 " + QByteArray::number(i % 100).rightJustified(2, '0')
             + " 00 05\r\n" + t + "-> 06\r\n";
        log += "noise line with some text to make the file longer than one reading chunk\r\n";
    }
    return log;
}

} // namespace

constexpr TReadThread ReadThreads[] = {TReadThread::rtCalling, TReadThread::rtAhead};

// Read ahead, lines come with their markers found on the reading thread: the same commands.
TEST_F(LogFileTest, StreamedLoadHandsOverTheSameCommands)
{
    const QString many = Write(ManyExchanges(5000));
    const QString demo = QStringLiteral(KESTRUN_SOURCE_DIR "/samples/demo.log");
    for (const QString& name : {many, demo}) {
        TCommands whole;
        LoadLogFile(name, {}, whole);
        ASSERT_GT(whole.size(), 10);
        for (const TReadThread reading : ReadThreads)
            EXPECT_EQ(StreamAll(name, nullptr, reading), whole) << qPrintable(name) << int(reading);
    }
}

TEST_F(LogFileTest, StreamedLoadOfBadUtf8HandsOverNothing)
{
    const QString name = Write("\xEF\xBB\xBF" + ManyExchanges(5000) + "\xFF\r\n");
    QString error;
    EXPECT_TRUE(StreamAll(name, &error).isEmpty());
    EXPECT_EQ(error, BadUtf8);
}

TEST_F(LogFileTest, StreamedLoadKeepsCommandsBeforeAPacketError)
{
    const QByteArray t = "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2 ";
    const QString name = Write(ManyExchanges(3) + t + "-> 8F 06 00 01 00 10 9F 82 BB 12 34\r\n" + t + "<- 06\r\n");
    for (const TReadThread reading : ReadThreads) {
        QString error;
        EXPECT_EQ(StreamAll(name, &error, reading).size(), 3);
        EXPECT_EQ(error, QStringLiteral("Некорректный формат пакета"));
    }
}
