// kestrun-cli find-error and search: the next row the window's forward search selects.
#include "CliSupport.h"
#include "Commands.h"

#include "decode/CommandView.h"
#include "log/Exception.h"
#include "log/LogLoader.h"

#include <functional>

namespace kestrun::cli {

namespace {

struct TSearchOptions
{
    QStringList IgnoreLines;
    int FirstSelected; // the row selected in the window; none counts as row 0
};

TSearchOptions TakeSearchOptions(ArgReader& reader)
{
    TSearchOptions options;
    options.IgnoreLines = reader.TakeValues(QStringLiteral("--ignore"));
    options.FirstSelected = ToInt(reader.TakeValue(QStringLiteral("--from"), QStringLiteral("0")), QStringLiteral("--from"));
    return options;
}

// No question is asked when nothing is found: no output and exit status 1.
int SearchForward(const char* name, const QString& fileName, const TSearchOptions& options,
                  const std::function<bool(const TCommand&)>& test)
{
    try {
        TCommands commands;
        LoadLogFile(fileName, options.IgnoreLines, commands);
        const auto count = static_cast<int>(commands.size());
        if (count > 0 && (options.FirstSelected < 0 || options.FirstSelected >= count))
            throw UsageError{QStringLiteral("--from must be from 0 to %1, not %2").arg(count - 1).arg(options.FirstSelected)};
        const TSearchResult result =
            ForwardSearch(count, options.FirstSelected, [&](int k) { return test(commands[k]); });
        if (result.Outcome != TSearchOutcome::soFound)
            return ExitFailure;
        WriteOut(QString::number(result.Index) + u'\n');
    } catch (const Exception& e) {
        return ReportFailure(name, e.Message());
    }
    return ExitOk;
}

} // namespace

int RunFindError(const QStringList& args)
{
    ArgReader reader(args);
    const TSearchOptions options = TakeSearchOptions(reader);
    const QString fileName = reader.Positionals(1, 1).constFirst();
    return SearchForward("find-error", fileName, options, HasAnswerError);
}

int RunSearch(const QStringList& args)
{
    ArgReader reader(args);
    const TSearchOptions options = TakeSearchOptions(reader);
    const QStringList positionals = reader.Positionals(2, 2);
    const TSearchText text(positionals[1]);
    return SearchForward("search", positionals[0], options, [&text](const TCommand& command) {
        return SearchMatches(command, MakeCommandRow(command).Data, text);
    });
}

} // namespace kestrun::cli
