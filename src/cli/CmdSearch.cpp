// SPDX-License-Identifier: GPL-3.0-or-later
// kestrun-cli find-error and search: the first row after a point that fails or matches, found
// while the log is read.
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandOutcome.h"
#include "decode/CommandView.h"

#include <functional>
#include <optional>

namespace kestrun::cli {

namespace {

struct TSearchOptions
{
    QStringList IgnoreLines;
    std::optional<QString> From; // the row after which the search starts; none: from the first row
};

TSearchOptions TakeSearchOptions(ArgReader& reader)
{
    TSearchOptions options;
    options.IgnoreLines = TakeIgnoreLines(reader);
    if (reader.HasValue(QStringLiteral("--from"))) {
        options.From = reader.TakeValue(QStringLiteral("--from"));
        ToInt(*options.From, QStringLiteral("--from")); // a mistyped index is refused before the log is read
    }
    return options;
}

// Thrown out of the reading once the match is found: the rest of the log is not read.
struct TFound
{
    qsizetype Index;
};

// Without --from the search starts at the first row, that row included; --from N starts after
// row N. No question is asked when nothing is found: no output and exit status 1.
int SearchForward(const QString& fileName, const TSearchOptions& options,
                  const std::function<bool(const TCommand&)>& test)
{
    const int from = options.From ? ToInt(*options.From, QStringLiteral("--from")) : -1;
    if (options.From && from < 0)
        throw UsageError{QStringLiteral("--from не может быть отрицательным")};
    qsizetype count = 0;
    try {
        StreamLog(fileName, options.IgnoreLines, [&](const TCommands& batch) {
            for (const TCommand& command : batch) {
                const qsizetype index = count++;
                if (index > from && test(command))
                    throw TFound{index};
            }
        });
    } catch (const TFound& found) {
        WriteOut(QString::number(found.Index) + u'\n');
        return ExitOk;
    }
    // A row beyond the log is a mistake, as the other commands taking an INDEX say.
    if (options.From && InputDamage().isEmpty())
        ToIndex(*options.From, count, QStringLiteral("--from"));
    return ExitFailure;
}

} // namespace

int RunFindError(const QStringList& args)
{
    ArgReader reader(args);
    const TSearchOptions options = TakeSearchOptions(reader);
    const QString fileName = reader.Positionals(1, 1).constFirst();
    return SearchForward(fileName, options, [](const TCommand& command) { return IsFailed(GetCommandOutcome(command)); });
}

int RunSearch(const QStringList& args)
{
    ArgReader reader(args);
    const TSearchOptions options = TakeSearchOptions(reader);
    const QStringList positionals = reader.Positionals(2, 2);
    const TSearchText text(positionals[1]);
    return SearchForward(positionals[0], options, [&text](const TCommand& command) {
        return SearchMatches(command, MakeCommandRow(command).Data, text);
    });
}

} // namespace kestrun::cli
