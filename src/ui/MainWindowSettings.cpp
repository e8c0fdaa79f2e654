// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindow.h"
#include "MemoLines.h"
#include "RecentFiles.h"
#include "log/Exception.h"

#include <QDir>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <variant>

namespace kestrun {

namespace {

// Placement show states as the settings file counts them.
constexpr int ShowNormal = 1;
constexpr int ShowMinimized = 2;
constexpr int ShowMaximized = 3;

// The height the user gave the details pane.
const QString InfoHeightKey = QStringLiteral("splitter_InfoHeight");
// The recent files' list, beside the stored properties.
const QString RecentFilesKey = QStringLiteral("RecentFiles");
// The commands never sent: a list the damage of the file cut is not shrunk unawares.
const QString ExceptListKey = QStringLiteral("memCommandExceptions_Lines");
const QString ExceptListTitle = QStringLiteral("Список «Команды-исключения (на запуск)»");

// What became of the never-sent list of a damaged file; empty when it was read in full.
QString ExceptListReadNote(const std::optional<int>& cutCount, const std::optional<QStringList>& lines)
{
    if (!cutCount)
        return {};
    if (!lines)
        return QStringLiteral("\n%1 не прочитан; действует список по умолчанию.").arg(ExceptListTitle);
    if (*cutCount < 0)
        return QStringLiteral("\n%1 прочитан не полностью: %2 строк.").arg(ExceptListTitle).arg(lines->size());
    return QStringLiteral("\n%1 прочитан не полностью: %2 из %3 строк.").arg(ExceptListTitle).arg(lines->size()).arg(*cutCount);
}

QString RectText(int a, int b, int c, int d) { return QStringLiteral("%1,%2,%3,%4").arg(a).arg(b).arg(c).arg(d); }

std::optional<QRect> RectFromEdges(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    int edges[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        edges[i] = parts[i].trimmed().toInt(&ok);
        // Beyond a widget's largest size the edge arithmetic below would overflow.
        if (!ok || qAbs(qint64(edges[i])) > QWIDGETSIZE_MAX)
            return std::nullopt;
    }
    const QRect rect(QPoint(edges[0], edges[1]), QPoint(edges[2] - 1, edges[3] - 1));
    return rect.isValid() ? std::optional<QRect>(rect) : std::nullopt;
}

// The free area of the screen that shows most of `rect`; none when no screen shows any of it.
std::optional<QRect> ScreenAreaHolding(const QRect& rect)
{
    std::optional<QRect> best;
    qint64 bestShown = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect shown = screen->availableGeometry().intersected(rect);
        const qint64 size = qint64(shown.width()) * shown.height();
        if (size > bestShown) {
            bestShown = size;
            best = screen->availableGeometry();
        }
    }
    return best;
}

// `rect` cut to `area` and moved into it, with `titleHeight` left free above it for the title bar,
// so that the whole window can be seen, moved and resized.
QRect FittedInto(QRect rect, const QRect& area, int titleHeight)
{
    const QRect room = area.adjusted(0, titleHeight, 0, 0);
    rect.setSize(rect.size().boundedTo(room.size()));
    rect.moveTo(qMax(room.left(), qMin(rect.left(), room.right() + 1 - rect.width())),
                qMax(room.top(), qMin(rect.top(), room.bottom() + 1 - rect.height())));
    return rect;
}

int ToInt(const std::optional<QString>& text, int fallback)
{
    bool ok = false;
    const int value = text ? text->toInt(&ok) : 0;
    return ok ? value : fallback;
}

} // namespace

// The stored properties, in the order they are configured, and where each one lives.
std::vector<TfmMain::TStoredProperty> TfmMain::StoredProperties()
{
    return {
        {"dlgOpen.FileName", &dlgOpen.FileName},
        {"dlgOpen.InitialDir", &dlgOpen.InitialDir},
        {"dlgSave.InitialDir", &dlgSave.InitialDir},
        {"dlgSave.FileName", &dlgSave.FileName},
        {"dlgOpen.FilterIndex", &dlgOpen.FilterIndex},
        {"memCommandExceptions.Lines", memCommandExceptions},
        {"memIgnoreCommand.Lines", memIgnoreCommand},
        {"lvCommands.DurationColumn", &FDurationColumn},
    };
}

void TfmMain::RestoreSettings()
{
    const QString section = objectName();
    try {
        FSettings.Load();
    } catch (const Exception& e) {
        FDialogs->ShowError(this, e.Message());
        return;
    }

    if (const auto normal = FSettings.Value(section, QStringLiteral("NormPos"))) {
        if (auto rect = RectFromEdges(*normal)) {
            const int savedDpi = ToInt(FSettings.Value(section, QStringLiteral("PixelsPerInch")), 0);
            bool usable = true;
            if (savedDpi > 0 && savedDpi != logicalDpiY()) {
                const double factor = double(logicalDpiY()) / savedDpi;
                const double width = rect->width() * factor;
                const double height = rect->height() * factor;
                usable = width <= QWIDGETSIZE_MAX && height <= QWIDGETSIZE_MAX;
                if (usable)
                    rect->setSize(QSize(qRound(width), qRound(height)));
            }
            const std::optional<QRect> area = usable ? ScreenAreaHolding(*rect) : std::nullopt;
            if (area) {
                // The frame is known once the window manager has framed the window; the style's
                // title bar height stands in until then.
                const int titleHeight = qMax(geometry().top() - frameGeometry().top(),
                                             style()->pixelMetric(QStyle::PM_TitleBarHeight));
                setGeometry(FittedInto(*rect, *area, titleHeight));
            }
        }
    }
    if (ToInt(FSettings.Value(section, QStringLiteral("ShowCmd")), ShowNormal) == ShowMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);

    for (const TStoredProperty& stored : StoredProperties()) {
        const QString key = QString::fromLatin1(stored.Name).replace(u'.', u'_');
        if (auto* text = std::get_if<QString*>(&stored.Place)) {
            if (const auto value = FSettings.Value(section, key))
                **text = *value;
        } else if (auto* number = std::get_if<int*>(&stored.Place)) {
            **number = ToInt(FSettings.Value(section, key), **number);
        } else if (const auto lines = FSettings.Lines(section, key)) {
            SetMemoLines(std::get<QPlainTextEdit*>(stored.Place), *lines);
        }
    }
    ShowDurationColumn(FDurationColumn != 0);
    if (const int height = ToInt(FSettings.Value(section, InfoHeightKey), 0); height > 0) {
        FInfoHeight = height;
        if (FSplitterPlaced)
            splitter->setSizes({qMax(0, splitter->height() - splitter->handleWidth() - height), height});
    }
    FRecentFiles = CleanRecentFiles(FSettings.Lines(section, RecentFilesKey).value_or(QStringList()));
    updateGeometry();
    update();
    if (!FSettings.Damage().isEmpty())
        FDialogs->ShowError(this, FSettings.Damage()
                                      + ExceptListReadNote(FSettings.CutLineCount(section, ExceptListKey),
                                                           FSettings.Lines(section, ExceptListKey)));
}

void TfmMain::SaveSettings()
{
    const QString section = objectName();
    const std::optional<int> cutCount = FSettings.CutLineCount(section, ExceptListKey);
    const qsizetype exceptLines = MemoLines(memCommandExceptions).size();
    const bool exceptListShorter = cutCount && (*cutCount < 0 || exceptLines < *cutCount);
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    const int showCmd = isMaximized() ? ShowMaximized : isMinimized() ? ShowMinimized : ShowNormal;
    FSettings.SetValue(section, QStringLiteral("ShowCmd"), QString::number(showCmd));
    FSettings.SetValue(section, QStringLiteral("Flags"), QString::number(0));
    FSettings.SetValue(section, QStringLiteral("PixelsPerInch"), QString::number(logicalDpiY()));
    FSettings.SetValue(section, QStringLiteral("MinMaxPos"), RectText(-1, -1, -1, -1));
    FSettings.SetValue(section, QStringLiteral("NormPos"),
                       RectText(normal.left(), normal.top(), normal.right() + 1, normal.bottom() + 1));

    for (const TStoredProperty& stored : StoredProperties()) {
        const QString key = QString::fromLatin1(stored.Name).replace(u'.', u'_');
        if (auto* text = std::get_if<QString*>(&stored.Place))
            FSettings.SetValue(section, key, **text);
        else if (auto* number = std::get_if<int*>(&stored.Place))
            FSettings.SetValue(section, key, QString::number(**number));
        else
            FSettings.SetLines(section, key, MemoLines(std::get<QPlainTextEdit*>(stored.Place)));
    }
    FSettings.SetValue(section, InfoHeightKey,
                       QString::number(FSplitterPlaced ? splitter->sizes().value(1) : FInfoHeight));
    FSettings.SetLines(section, RecentFilesKey, FRecentFiles);
    try {
        FSettings.Save();
    } catch (const Exception& e) {
        FDialogs->ShowError(this, e.Message());
        return;
    }
    if (exceptListShorter)
        FDialogs->ShowError(this, QStringLiteral("%1 записан в файл настроек короче сохранённого ранее: %2 строк%3; "
                                                 "прежний список остался в файле %4.")
                                      .arg(ExceptListTitle)
                                      .arg(exceptLines)
                                      .arg(*cutCount < 0 ? QString() : QStringLiteral(" из %1").arg(*cutCount))
                                      .arg(QDir::toNativeSeparators(FSettings.BackupFileName())));
}

} // namespace kestrun
