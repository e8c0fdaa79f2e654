// SPDX-License-Identifier: GPL-3.0-or-later
// Every kind of failure through every consumer that judges rows: each gives the same answer.
#include "CaseName.h"
#include "CliRun.h"
#include "OutcomeLog.h"

#include "decode/CommandOutcome.h"
#include "log/LogLoader.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <functional>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

const QList<int> FailedRows = OutcomeFailedRows;

// The rows a consumer takes for failed; the statistics tell only how many.
struct TAnswer
{
    QList<int> Rows;
    bool CountOnly = false;
};

QList<int> JsonIndexes(const TRunResult& run, const std::function<bool(const QJsonObject&)>& keep)
{
    QList<int> rows;
    for (const QString& line : run.OutLines()) {
        const QJsonObject row = QJsonDocument::fromJson(line.toUtf8()).object();
        if (keep(row))
            rows << row.value(u"Index"_s).toInt();
    }
    return rows;
}

TAnswer ListState(const QString& log)
{
    return {JsonIndexes(RunCli({u"list"_s, u"--json"_s, log}), [](const QJsonObject& row) {
        return row.value(u"State"_s).toInt() == 1;
    })};
}

TAnswer ListMarks(const QString& log)
{
    QList<int> rows;
    const QStringList lines = RunCli({u"list"_s, log}).OutLines();
    for (const QString& line : lines.mid(1)) {
        const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
        if (words.size() > 1 && words[1] == u"!"_s)
            rows << words[0].toInt();
    }
    return {rows};
}

TAnswer ListErrors(const QString& log)
{
    return {JsonIndexes(RunCli({u"list"_s, u"--json"_s, u"--errors"_s, log}), [](const QJsonObject&) { return true; })};
}

TAnswer StatsErrors(const QString& log)
{
    const TRunResult run = RunCli({u"stats"_s, u"--json"_s, log});
    const int errors = QJsonDocument::fromJson(run.Out).object().value(u"Total"_s).toObject().value(u"Errors"_s).toInt();
    return {QList<int>(errors, -1), true};
}

TAnswer FindErrors(const QString& log)
{
    QList<int> rows;
    QStringList args{u"find-error"_s, log};
    for (;;) {
        const TRunResult run = RunCli(args);
        if (run.ExitCode != 0)
            return {rows};
        rows << run.OutText().trimmed().toInt();
        args = {u"find-error"_s, u"--from"_s, QString::number(rows.last()), log};
    }
}

// What the window's counter and "Найти ошибку" ask of the core for each loaded command.
QList<int> WindowRows(const QString& log, bool (*test)(TOutcome))
{
    TCommands commands;
    LoadLogFile(log, {}, commands);
    QList<int> rows;
    for (int i = 0; i < commands.size(); ++i)
        if (test(GetCommandOutcome(commands[i])))
            rows << i;
    return rows;
}

TAnswer WindowCounter(const QString& log) { return {WindowRows(log, HasAnyError)}; }

TAnswer WindowFindError(const QString& log)
{
    return {WindowRows(log, [](TOutcome outcome) { return FindsError(outcome, false); })};
}

struct TConsumerCase
{
    const char* Name;
    TAnswer (*Answer)(const QString& log);
};

class OneOutcome : public testing::TestWithParam<TConsumerCase> {};

TEST_P(OneOutcome, EveryConsumerFailsTheSameRows)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath(u"outcome.log"_s);
    WriteFile(log, OutcomeLog());
    const TAnswer answer = GetParam().Answer(log);
    if (answer.CountOnly)
        EXPECT_EQ(answer.Rows.size(), FailedRows.size());
    else
        EXPECT_EQ(answer.Rows, FailedRows);
}

INSTANTIATE_TEST_SUITE_P(Consumers, OneOutcome, testing::Values(
    TConsumerCase{"ListJsonState", ListState},
    TConsumerCase{"ListTableMarks", ListMarks},
    TConsumerCase{"ListErrors", ListErrors},
    TConsumerCase{"StatsErrors", StatsErrors},
    TConsumerCase{"FindError", FindErrors},
    TConsumerCase{"WindowCounter", WindowCounter},
    TConsumerCase{"WindowFindError", WindowFindError}
), CaseName());

} // namespace
} // namespace kestrun::test
