// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/RowFormats.h"

#include "CaseName.h"
#include "PrintQt.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrun {
namespace {

using namespace Qt::StringLiterals;

TCommandRow Row(const QString& command, const QString& data, int state = siNone, int32_t durationMs = NoDuration)
{
    TCommandRow row;
    row.Time = u"12.03.2024 10:15:30.123"_s;
    row.Thread = u"00001A2C"_s;
    row.Command = command;
    row.Data = data;
    row.StateImage = state;
    row.DurationMs = durationMs;
    return row;
}

// Index 3: a plain row without a duration; 7: a failed row of 250 ms whose data holds what each
// format must escape.
const QList<TCommandRow> Rows = {Row(u"Продажа"_s, u"ПРОДАЖА 100.00X1.000 Milk"_s),
                                 Row(u"Продажа"_s, u"a\tb, \"c\"\r\nd"_s, siError, 250)};
const QList<int> Indexes = {3, 7};

TCommandRow RowOf(int index) { return Rows[index == 3 ? 0 : 1]; }

QString Text(TRowFormat format) { return QString::fromUtf8(RowsText(format, Indexes, RowOf)); }

TEST(RowFormats, TabsGiveTheFourCellsOnOneLineEach)
{
    EXPECT_EQ(Text(TRowFormat::rfTabs),
              u"12.03.2024 10:15:30.123\t00001A2C\tПродажа\tПРОДАЖА 100.00X1.000 Milk\n"
              u"12.03.2024 10:15:30.123\t00001A2C\tПродажа\ta b, \"c\" d\n"_s);
}

TEST(RowFormats, CsvHasAByteOrderMarkAHeaderAndQuotesWhereNeeded)
{
    const QByteArray csv = RowsText(TRowFormat::rfCsv, Indexes, RowOf);
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(QString::fromUtf8(csv.mid(3)),
              u"Index,Time,Thread,Command,Data,DurationMs,State\r\n"
              u"3,12.03.2024 10:15:30.123,00001A2C,Продажа,ПРОДАЖА 100.00X1.000 Milk,,-1\r\n"
              u"7,12.03.2024 10:15:30.123,00001A2C,Продажа,\"a\tb, \"\"c\"\" d\",250,1\r\n"_s);
}

TEST(RowFormats, JsonLinesAreTheListObjects)
{
    EXPECT_EQ(Text(TRowFormat::rfJsonLines),
              uR"({"Index":3,"Time":"12.03.2024 10:15:30.123","TimeIso":"2024-03-12T10:15:30.123","Thread":"00001A2C","Command":"Продажа","Data":"ПРОДАЖА 100.00X1.000 Milk","DurationMs":null,"State":-1})"
              u"\n"
              uR"({"Index":7,"Time":"12.03.2024 10:15:30.123","TimeIso":"2024-03-12T10:15:30.123","Thread":"00001A2C","Command":"Продажа","Data":"a\tb, \"c\"\r\nd","DurationMs":250,"State":1})"
              u"\n"_s);
}

// The summary as the window shows it: a run of zero bytes is one blank inside, nothing at the end.
TEST(RowFormats, JsonDataDropsZeroBytesAsTheWindowDoes)
{
    QByteArray out;
    AppendJsonRow(out, 12, Row(u"Продажа"_s, QStringLiteral("ЧЕК") + QString(3, QChar(0)) + u"1"_s + QString(25, QChar(0))));
    EXPECT_EQ(QString::fromUtf8(out),
              uR"({"Index":12,"Time":"12.03.2024 10:15:30.123","TimeIso":"2024-03-12T10:15:30.123","Thread":"00001A2C","Command":"Продажа","Data":"ЧЕК 1","DurationMs":null,"State":-1})"
              u"\n"_s);
}

TEST(RowFormats, NoRowsGiveOnlyTheCsvHeader)
{
    EXPECT_EQ(RowsText(TRowFormat::rfTabs, {}, RowOf), QByteArray());
    EXPECT_EQ(RowsText(TRowFormat::rfCsv, {}, RowOf), QByteArray("\xEF\xBB\xBFIndex,Time,Thread,Command,Data,DurationMs,State\r\n"));
}

TEST(RowFormats, SavingToAMissingFolderFails)
{
    QTemporaryDir dir;
    EXPECT_ANY_THROW(SaveRows(dir.filePath(u"missing/rows.csv"_s), TRowFormat::rfCsv, Indexes, RowOf));
    const QString path = dir.filePath(u"rows.jsonl"_s);
    SaveRows(path, TRowFormat::rfJsonLines, Indexes, RowOf);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), RowsText(TRowFormat::rfJsonLines, Indexes, RowOf));
}

} // namespace
} // namespace kestrun
