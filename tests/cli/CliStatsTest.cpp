// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliRun.h"
#include "LogBuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <vector>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

// Requests of three codes, each with a good and a failing answer.
struct TKind
{
    const char* Code;
    const char* Request;
    const char* Good;
    const char* Failing;
};
const TKind Kinds[] = {
    {"10", "10 1E 00 00 00", "10 00 1E 03 00 02 00 05 FF D8 00 00 00 1A 04", "10 37"},
    {"11", "11 1E 00 00 00", "11 00 1E", "11 50"},
    {"FF01", "FF 01 1E 00 00 00", "FF 01 00", "FF 01 33"},
};

// What the test expects of one code, counted here.
struct TExpected
{
    qsizetype Count = 0;
    qsizetype Errors = 0;
    std::vector<int> Durations;
};

int Rank(const std::vector<int>& sorted, double percent)
{
    return sorted[size_t(std::ceil(percent / 100 * double(sorted.size()))) - 1];
}

void ExpectGroup(const QJsonObject& actual, TExpected expected, const std::string& what)
{
    EXPECT_EQ(actual[u"Count"_s].toInteger(), expected.Count) << what;
    EXPECT_EQ(actual[u"Errors"_s].toInteger(), expected.Errors) << what;
    EXPECT_EQ(actual[u"Timed"_s].toInteger(), qsizetype(expected.Durations.size())) << what;
    std::sort(expected.Durations.begin(), expected.Durations.end());
    ASSERT_FALSE(expected.Durations.empty()) << what;
    EXPECT_EQ(actual[u"MinMs"_s].toInt(), expected.Durations.front()) << what;
    EXPECT_EQ(actual[u"MedianMs"_s].toInt(), Rank(expected.Durations, 50)) << what;
    EXPECT_EQ(actual[u"P95Ms"_s].toInt(), Rank(expected.Durations, 95)) << what;
    EXPECT_EQ(actual[u"MaxMs"_s].toInt(), expected.Durations.back()) << what;
}

TEST(CliStats, JsonAgreesWithTheCountsOfAGeneratedLog)
{
    std::mt19937 random(13);
    std::vector<TTimedExchange> exchanges;
    std::map<QString, TExpected> expected;
    TExpected total;
    std::vector<std::pair<int, qsizetype>> timed; // duration, row
    qint64 start = 0;
    for (qsizetype row = 0; row < 600; ++row) {
        const TKind& kind = Kinds[random() % std::size(Kinds)];
        const unsigned roll = random() % 20;
        const bool answered = roll != 0;
        const bool failing = roll < 4;
        // Distinct durations, so that the slowest are known in order; the log runs over midnight.
        const int duration = int(row * 7 % 600) * 10 + int(random() % 10) + 600 * 10 * int(row % 2);
        exchanges.push_back({{kind.Request, answered ? (failing ? kind.Failing : kind.Good) : nullptr}, start, duration});
        start += 200 + random() % 300;
        for (TExpected* group : {&expected[QLatin1String(kind.Code)], &total}) {
            ++group->Count;
            group->Errors += failing ? 1 : 0;
            if (answered)
                group->Durations.push_back(duration);
        }
        if (answered)
            timed.emplace_back(duration, row);
    }
    QTemporaryDir dir;
    const QString log = dir.filePath(u"timed.log"_s);
    WriteFile(log, TimedProtocol1Log(exchanges));

    const TRunResult r = RunCli({u"stats"_s, u"--json"_s, log});
    ASSERT_EQ(r.ExitCode, 0) << r.ErrText().toStdString();
    const QJsonObject stats = QJsonDocument::fromJson(r.Out).object();
    const QJsonArray codes = stats[u"Commands"_s].toArray();
    ASSERT_EQ(codes.size(), qsizetype(std::size(Kinds)));
    for (const QJsonValue& code : codes) {
        const QString name = code[u"Code"_s].toString();
        ASSERT_TRUE(expected.count(name)) << name.toStdString();
        ExpectGroup(code.toObject(), expected[name], name.toStdString());
    }
    ExpectGroup(stats[u"Total"_s].toObject(), total, "total");

    std::sort(timed.begin(), timed.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    const QJsonArray slowest = stats[u"Slowest"_s].toArray();
    ASSERT_EQ(slowest.size(), 20);
    for (qsizetype i = 0; i < slowest.size(); ++i) {
        EXPECT_EQ(slowest[i][u"DurationMs"_s].toInt(), timed[size_t(i)].first) << i;
        EXPECT_EQ(slowest[i][u"Index"_s].toInteger(), timed[size_t(i)].second) << i;
    }
}

TEST(CliStats, ParseAndListGiveEachCommandsDuration)
{
    QTemporaryDir dir;
    const QString log = dir.filePath(u"timed.log"_s);
    WriteFile(log, TimedProtocol1Log({{{"10 1E 00 00 00", "10 00"}, 0, 250},
                                      {{"10 1E 00 00 00", nullptr}, 1000, 0},
                                      {{"10 1E 00 00 00", "10 00"}, 59990, 30}}));
    const QStringList parsed = RunCli({u"parse"_s, log}).OutLines();
    const QStringList listed = RunCli({u"list"_s, u"--json"_s, log}).OutLines();
    const QStringList table = RunCli({u"list"_s, log}).OutLines();
    const char* const durations[] = {"250", "null", "30"};
    ASSERT_EQ(parsed.size(), 3);
    ASSERT_EQ(listed.size(), 3);
    ASSERT_EQ(table.size(), 4);
    EXPECT_TRUE(table[0].endsWith(u"Data  Длительность, мс"_s)) << table[0].toStdString();
    for (int i = 0; i < 3; ++i) {
        const QString field = uR"("DurationMs":)"_s + QLatin1String(durations[i]);
        EXPECT_TRUE(parsed[i].endsWith(field + u'}')) << parsed[i].toStdString();
        EXPECT_TRUE(listed[i].contains(field + u',')) << listed[i].toStdString();
    }
    EXPECT_TRUE(table[1].endsWith(u"  250"_s)) << table[1].toStdString();
    EXPECT_TRUE(table[2].endsWith(u"[ERROR] -1 (0xFFFFFFFF) Неизвестный код ошибки"_s)) << table[2].toStdString();
    EXPECT_TRUE(table[3].endsWith(u"  30"_s)) << table[3].toStdString();
}

TEST(CliStats, TextNamesTheColumnsTheTotalAndTheSlowest)
{
    QTemporaryDir dir;
    const QString log = dir.filePath(u"timed.log"_s);
    WriteFile(log, TimedProtocol1Log({{{"10 1E 00 00 00", "10 00"}, 0, 250}, {{"11 1E 00 00 00", "11 00 1E"}, 1000, 40}}));
    const TRunResult r = RunCli({u"stats"_s, log});
    ASSERT_EQ(r.ExitCode, 0) << r.ErrText().toStdString();
    const QStringList lines = r.OutLines();
    ASSERT_EQ(lines.size(), 7) << r.OutText().toStdString();
    EXPECT_EQ(lines[0].simplified(), u"Код Команда Количество Ошибок Мин., мс Медиана, мс 95%, мс Макс., мс"_s);
    EXPECT_EQ(lines[1].simplified(), u"10 Короткий запрос состояния 1 0 250 250 250 250"_s);
    EXPECT_EQ(lines[3].simplified(), u"Всего 2 0 40 40 250 250"_s);
    EXPECT_EQ(lines[4].simplified(), u"# Time Command Длительность, мс"_s);
    EXPECT_EQ(lines[5].simplified(), u"0 12.03.2024 23:59:00.000 Короткий запрос состояния 250"_s);
}

TEST(CliStats, UnreadableLogFails)
{
    const TRunResult r = RunCli({u"stats"_s, u"/nonexistent/k.log"_s});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.ErrText().startsWith(u"kestrun-cli stats: "_s)) << r.ErrText().toStdString();
    EXPECT_TRUE(r.Out.isEmpty());
}

} // namespace
} // namespace kestrun::test
