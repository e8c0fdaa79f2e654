// kestrun-cli find-error and search: the next row the window's forward search selects.
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandView.h"

#include <functional>
#include <optional>

namespace kestrun::cli {

namespace {

struct TSearchOptions
{
    QStringList IgnoreLines;
    std::optional<QString> From; // the row selected in the window; none counts as row 0
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

// No question is asked when nothing is found: no output and exit status 1.
int SearchForward(const QString& fileName, const TSearchOptions& options,
                  const std::function<bool(const TCommand&)>& test)
{
    TCommands commands;
    LoadLog(fileName, options.IgnoreLines, commands);
    const auto count = static_cast<int>(commands.size());
    const int first = options.From ? ToIndex(*options.From, count, QStringLiteral("--from")) : 0;
    const TSearchResult result = ForwardSearch(count, first, [&](int k) { return test(commands[k]); });
    if (result.Outcome != TSearchOutcome::soFound)
        return ExitFailure;
    WriteOut(QString::number(result.Index) + u'\n');
    return ExitOk;
}

} // namespace

int RunFindError(const QStringList& args)
{
    ArgReader reader(args);
    const TSearchOptions options = TakeSearchOptions(reader);
    const QString fileName = reader.Positionals(1, 1).constFirst();
    return SearchForward(fileName, options, HasAnswerError);
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
