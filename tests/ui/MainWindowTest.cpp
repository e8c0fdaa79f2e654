// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"
#include "CaseName.h"
#include "TestLogs.h"
#include "UiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

struct TControlText
{
    const char* Name;
    const char* Text;
};

void PrintTo(const TControlText& c, std::ostream* os) { *os << c.Name; }

class ControlTextTest : public TWindowTest, public ::testing::WithParamInterface<TControlText> {};

TEST_P(ControlTextTest, ShowsItsCaption)
{
    const TControlText& c = GetParam();
    QWidget* control = Child<QWidget>(c.Name);
    ASSERT_NE(control, nullptr);
    QString text;
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        text = button->text();
    else if (auto* label = qobject_cast<QLabel*>(control))
        text = label->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        text = edit->text();
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(control))
        text = memo->toPlainText();
    EXPECT_EQ(text, QString::fromUtf8(c.Text));
}

INSTANTIATE_TEST_SUITE_P(Controls, ControlTextTest, ::testing::Values(
    TControlText{"btnOpen", "Открыть файл лога"},
    TControlText{"btnSettings", "Настройка свойств ..."},
    TControlText{"btnGetStatus", "Запрос состояния"},
    TControlText{"btnPasteFromClipboard", "Вставить из буфера"},
    TControlText{"btnFindError", "Найти ошибку"},
    TControlText{"btnStart", "Запустить"},
    TControlText{"btnStartFromPosition", "Запустить c текущей строки"},
    TControlText{"btnStartCurrentLine", "Текущая строка"},
    TControlText{"btnStartSelected", "Выделенное"},
    TControlText{"btnStop", "Остановить"},
    TControlText{"lblFileName", "Откройте файл лога, либо перетащите файл в это окно, либо вставьте текст лога из буфера обмена"},
    TControlText{"edtStatus", ""},
    TControlText{"edtSearch", ""},
    TControlText{"btnSearch", "Поиск"},
    TControlText{"memInfo", ""},
    TControlText{"chkIngoreKKTErrors", "Игнорировать ошибки ККТ"},
    TControlText{"chkInfinitePlay", "Зациклить воспроизведение"},
    TControlText{"memCommandExceptions", "FF 0A"},
    TControlText{"memIgnoreCommand", ""}),
    kestrun::test::CaseName());

TEST_F(TWindowTest, StartsWithCaptionSizeAndIdleControls)
{
    EXPECT_TRUE(QRegularExpression(u"^Orvandel: Kestrun & analyzer v\\.\\d+\\.\\d+\\.\\d+\\.\\d+$"_s)
                    .match(Window->windowTitle())
                    .hasMatch())
        << Window->windowTitle().toStdString();
    EXPECT_EQ(Window->size(), QSize(814, 584));
    EXPECT_GE(Window->minimumWidth(), 694);
    EXPECT_FALSE(Child<QPushButton>("btnStop")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>("btnStart")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>("btnOpen")->isDefault());
    EXPECT_TRUE(Window->acceptDrops());
    EXPECT_FALSE(Child<QCheckBox>("chkIngoreKKTErrors")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>("chkInfinitePlay")->isChecked());
    EXPECT_EQ(Child<QLineEdit>("edtSearch")->toolTip(), u"Поиск по времени или названию команды"_s);
    EXPECT_EQ(Child<QPlainTextEdit>("memIgnoreCommand")->toolTip(),
              u"Коды команд, которые не будут выполняться\nКаждый код команды на отдельной строке"_s);
    // The designed Courier New where the system has it or a fixed-pitch stand-in, else the
    // system's own fixed-pitch font: in every case frames line up in columns, at 10 points.
    for (const char* memo : {"memInfo", "memCommandExceptions", "memIgnoreCommand"}) {
        const QFont font = Child<QPlainTextEdit>(memo)->font();
        EXPECT_EQ(font.pointSize(), 10) << memo;
        const QFontMetrics metrics(font);
        const int width = metrics.horizontalAdvance(u'W');
        EXPECT_EQ(metrics.horizontalAdvance(u'i'), width) << memo << " " << QFontInfo(font).family().toStdString();
        EXPECT_EQ(metrics.horizontalAdvance(u'0'), width) << memo << " " << QFontInfo(font).family().toStdString();
    }

    QTabWidget* pages = Child<QTabWidget>("pgcLog");
    ASSERT_EQ(pages->count(), 2);
    EXPECT_EQ(pages->tabText(0), u"Лог"_s);
    EXPECT_EQ(pages->tabText(1), u"Параметры"_s);
    EXPECT_EQ(pages->currentIndex(), 0);

    // The columns shown at start; the optional duration column waits for the header's menu.
    QStringList header;
    for (int column = 0; column < Model()->columnCount(); ++column)
        if (!List()->header()->isSectionHidden(column))
            header << Model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_EQ(header, (QStringList{u"Time"_s, u"Thread"_s, u"Command"_s, u"Data"_s}));
    EXPECT_EQ(List()->selectionMode(), QAbstractItemView::ExtendedSelection);
}

// The platform appends a display name that the program sets to every caption; one that is not set
// only follows the application's name and adds nothing, so the caption stands alone.
TEST(ApplicationTest, CaptionStandsAlone)
{
    const QString savedName = QCoreApplication::applicationName();
    SetUpApplication(*qApp);
    EXPECT_EQ(QCoreApplication::applicationName(), u"Kestrun"_s);
    QCoreApplication::setApplicationName(u"probe"_s);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), u"probe"_s);
    QCoreApplication::setApplicationName(savedName);
}

// At its minimum size the window still shows every control whole, and the list and the details
// pane keep a few lines however the splitter is dragged.
TEST_F(TWindowTest, MinimumSizeKeepsEveryControlWhole)
{
    Load(MixedLog());
    Window->resize(1, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(Window->size(), Window->minimumSize());
    const char* const controls[][2] = {
        {"btnOpen", "0"}, {"btnSettings", "0"}, {"btnGetStatus", "0"}, {"btnPasteFromClipboard", "0"},
        {"btnFindError", "0"}, {"btnStart", "0"}, {"btnStartFromPosition", "0"}, {"btnStartCurrentLine", "0"},
        {"btnStartSelected", "0"}, {"btnStop", "0"}, {"edtStatus", "0"}, {"progress", "0"}, {"pgcLog", "0"},
        {"edtSearch", "0"}, {"btnSearch", "0"}, {"splitter", "0"}, {"chkIngoreKKTErrors", "1"},
        {"chkInfinitePlay", "1"}, {"memCommandExceptions", "1"}, {"memIgnoreCommand", "1"}};
    for (const auto& [name, page] : controls) {
        Child<QTabWidget>("pgcLog")->setCurrentIndex(QByteArray(page).toInt());
        QCoreApplication::processEvents();
        const QWidget* control = Child<QWidget>(name);
        EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry())) << name;
        EXPECT_FALSE(control->geometry().isEmpty()) << name;
    }
    EXPECT_LE(Child<QLineEdit>("edtStatus")->geometry().right(), Child<QProgressBar>("progress")->geometry().left());
    Child<QTabWidget>("pgcLog")->setCurrentIndex(0);

    auto* splitter = Child<QSplitter>("splitter");
    auto* memo = Child<QPlainTextEdit>("memInfo");
    const int rowHeight = List()->visualRect(Model()->index(0, 0)).height();
    ASSERT_GT(rowHeight, 0);
    for (const QList<int>& sizes : {QList<int>{0, 10000}, QList<int>{10000, 0}}) {
        splitter->setSizes(sizes);
        QCoreApplication::processEvents();
        EXPECT_GE(List()->viewport()->height(), 3 * rowHeight) << sizes[0];
        EXPECT_GE(memo->viewport()->height(), 3 * memo->fontMetrics().lineSpacing()) << sizes[0];
    }
}

// The designed items come first, in their order; the copy and export items follow them.
TEST_F(TWindowTest, ContextMenuKeepsItsOrder)
{
    QStringList items;
    for (const QAction* action : Child<QMenu>("pmMain")->actions())
        items << (action->isSeparator() ? u"-"_s : action->text());
    EXPECT_EQ(items.mid(0, 7), (QStringList{u"Выполнить эту строку"_s, u"Запустить с этой строки"_s, u"Запустить выделенное"_s,
                                            u"-"_s, u"Сохранить в файл..."_s, u"-"_s, u"Вставить из буфера обмена"_s}));
    EXPECT_EQ(items.mid(7), (QStringList{u"-"_s, u"Копировать"_s, u"Копировать как JSON"_s, u"-"_s,
                                         u"Экспорт показанных строк в CSV..."_s,
                                         u"Экспорт показанных строк в JSON Lines..."_s}));
}

struct TControlPlace
{
    const char* Name;
    int Page; // the page of pgcLog shown while the place is taken
    QRect Place; // in its parent, at the window's design size; an empty size is not checked
};

void PrintTo(const TControlPlace& c, std::ostream* os) { *os << c.Name; }

class ControlPlaceTest : public TWindowTest, public ::testing::WithParamInterface<TControlPlace> {};

TEST_P(ControlPlaceTest, StandsAtItsDesignedPlace)
{
    const TControlPlace& c = GetParam();
    Child<QTabWidget>("pgcLog")->setCurrentIndex(c.Page);
    QCoreApplication::processEvents();
    QWidget* control = Child<QWidget>(c.Name);
    ASSERT_NE(control, nullptr);
    const QRect at = control->geometry();
    EXPECT_EQ(at.topLeft(), c.Place.topLeft());
    if (!c.Place.size().isEmpty()) {
        EXPECT_EQ(at.size(), c.Place.size());
    }
}

// btnGetStatus stands above btnStop, where it can be seen and clicked.
INSTANTIATE_TEST_SUITE_P(Controls, ControlPlaceTest, ::testing::Values(
    TControlPlace{"btnOpen", 0, {8, 8, 137, 25}},
    TControlPlace{"btnSettings", 0, {149, 8, 187, 25}},
    TControlPlace{"btnGetStatus", 0, {636, 8, 144, 25}},
    TControlPlace{"btnPasteFromClipboard", 0, {340, 8, 144, 25}},
    TControlPlace{"btnFindError", 0, {488, 8, 144, 25}},
    TControlPlace{"btnStart", 0, {8, 39, 137, 25}},
    TControlPlace{"btnStartFromPosition", 0, {149, 39, 187, 25}},
    TControlPlace{"btnStartCurrentLine", 0, {340, 39, 144, 25}},
    TControlPlace{"btnStartSelected", 0, {488, 39, 144, 25}},
    TControlPlace{"btnStop", 0, {636, 39, 144, 25}},
    TControlPlace{"lblFileName", 0, {11, 71, 0, 0}},
    TControlPlace{"edtStatus", 0, {8, 92, 688, 21}},
    TControlPlace{"progress", 0, {702, 94, 107, 17}},
    TControlPlace{"pgcLog", 0, {8, 120, 801, 457}},
    TControlPlace{"edtSearch", 0, {8, 16, 481, 21}},
    TControlPlace{"btnSearch", 0, {496, 14, 75, 25}},
    TControlPlace{"splitter", 0, {8, 48, 0, 0}},
    TControlPlace{"chkIngoreKKTErrors", 1, {8, 13, 0, 0}},
    TControlPlace{"chkInfinitePlay", 1, {8, 37, 0, 0}},
    TControlPlace{"memCommandExceptions", 1, {206, 72, 107, 185}},
    TControlPlace{"memIgnoreCommand", 1, {379, 73, 102, 184}}),
    kestrun::test::CaseName());

TEST_F(TWindowTest, LoadedFileFillsTheList)
{
    const QString fileName = Load(MixedLog());
    ASSERT_EQ(Model()->rowCount(), 7);
    EXPECT_EQ(Cell(0, 0), u"12.03.2024 10:15:00.123"_s);
    EXPECT_EQ(Cell(0, 1), u"00001A2C"_s);
    const QStringList names = {u"Короткий запрос состояния"_s, u"Запрос состояния"_s, u"Открытие смены"_s, u"Продажа"_s,
                               u"Продажа"_s, u"Найти фискальный документ по номеру"_s, u"Суточный отчет с гашением"_s};
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(Cell(row, 2), names[row]) << row;
    EXPECT_TRUE(Cell(4, 3).contains(u"[ERROR]"_s));
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), fileName);
    EXPECT_EQ(Status(), QString());
    EXPECT_EQ(Info(), QString());
    EXPECT_EQ(Window->Commands().size(), 7);
    // The row texts are made ahead in slices; the bar returns to 0 when they are all there.
    EXPECT_TRUE(WaitUntil([&] { return Model()->ComputedCount() == 7; }));
    EXPECT_TRUE(WaitUntil([&] { return Child<QProgressBar>("progress")->value() == 0; }));
    EXPECT_EQ(Child<QProgressBar>("progress")->maximum(), 6);
}

TEST_F(TWindowTest, RowsCarryStateImagesAndCellStyles)
{
    Load(MixedLog());
    const QList<int> expected = {siNone, siNone, siNone, siNone, siError, siNone, siError};
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(Model()->StateImage(row), expected[row]) << row;
    const auto color = [&](int row, int column) {
        return Model()->data(Model()->index(row, column), Qt::ForegroundRole).value<QColor>();
    };
    const auto font = [&](int row, int column) {
        return Model()->data(Model()->index(row, column), Qt::FontRole).value<QFont>();
    };
    // A failed sale: red everywhere, not bold.
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(color(4, column), QColor(255, 0, 0)) << column;
        EXPECT_FALSE(font(4, column).bold()) << column;
    }
    // A clean sale: bold in "Command" and "Data" only.
    EXPECT_FALSE(font(3, 0).bold());
    EXPECT_FALSE(font(3, 1).bold());
    EXPECT_TRUE(font(3, 2).bold());
    EXPECT_TRUE(font(3, 3).bold());
    EXPECT_FALSE(color(3, 2).isValid());
    // A status query: purple "Data", plain "Command".
    EXPECT_EQ(color(1, 3), QColor(128, 0, 128));
    EXPECT_FALSE(color(1, 2).isValid());
    // Missing answer: red.
    EXPECT_EQ(color(6, 2), QColor(255, 0, 0));
    // Every row keeps room for a picture, those with a state show one.
    EXPECT_FALSE(Model()->data(Model()->index(6, 0), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(Model()->data(Model()->index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(Model()->data(Model()->index(0, 1), Qt::DecorationRole).isValid());
}

TEST_F(TWindowTest, ZeroPaddingIsNotShown)
{
    Load(MixedLog());
    EXPECT_TRUE(Cell(3, 3).contains(u"Товар"_s)) << Cell(3, 3).toStdString();
    EXPECT_FALSE(Cell(3, 3).contains(QChar(0)));
    SelectRows({3});
    List()->selectionModel()->setCurrentIndex(Model()->index(3, 0), QItemSelectionModel::SelectCurrent | QItemSelectionModel::Rows);
    EXPECT_TRUE(Info().contains(u"Товар"_s));
    EXPECT_FALSE(Info().contains(QChar(0)));
}

TEST_F(TWindowTest, SelectedRowShowsItsDetails)
{
    Load(MixedLog());
    List()->selectionModel()->setCurrentIndex(Model()->index(6, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QStringList lines = Info().split(u'\n');
    ASSERT_GE(lines.size(), 8);
    EXPECT_TRUE(lines[0].startsWith(u"[12.03.2024 10:15:06.123] [00001A2C] [Protocol v1] (Line "_s)) << lines[0].toStdString();
    EXPECT_EQ(lines[1], u"Суточный отчет с гашением"_s);
    EXPECT_EQ(lines[2], u"Передано     : 41 1E 00 00 00"_s);
    EXPECT_EQ(lines[3], u"Принято (лог): НЕТ ОТВЕТА"_s);
    EXPECT_EQ(lines[4], u"Принято (ККТ): "_s);
    EXPECT_EQ(lines[5], QString());
    EXPECT_EQ(lines[6], u"Входные параметры:"_s);
    EXPECT_EQ(Child<QPlainTextEdit>("memInfo")->textCursor().position(), 0);
}

TEST_F(TWindowTest, DecodingErrorsKeepTheRowAndTheLinesBeforeThem)
{
    // A TLV element whose length runs past the frame.
    Load({{"10 1E 00 00 00", "10 00"}, {"FF 0C 1E 00 00 00 FF 03 01 00 05", "FF 0C 00"}});
    ASSERT_EQ(Model()->rowCount(), 2);
    EXPECT_EQ(Cell(1, 1), u"00001A2C"_s);
    EXPECT_TRUE(Cell(1, 3).contains(u"[ERROR] Неверная длина FVLN"_s)) << Cell(1, 3).toStdString();
    EXPECT_EQ(Model()->StateImage(1), siError); // the answer is clean, but the row failed
    List()->selectionModel()->setCurrentIndex(Model()->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(Dialogs.Errors, QStringList{u"Неверная длина FVLN"_s});
    EXPECT_TRUE(Info().endsWith(u"\nВходные параметры:"_s)) << Info().toStdString();
}

TEST_F(TWindowTest, PastedTextLoadsAndShowsDriverErrors)
{
    QGuiApplication::clipboard()->setText(Protocol2Log({{"10 1E 00 00 00", "10 00 1E 04 00 00 00 00 00 00 00 00 00 00 00 00"}})
                                          + u"\n[12.03.2024 10:16:00.000] [00001A2C] [ERROR] TFiscalPrinter - Нет связи"_s);
    Click("btnPasteFromClipboard");
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), u"Clipboard"_s);
    ASSERT_EQ(Model()->rowCount(), 2);
    EXPECT_EQ(Cell(1, 2), u"Ошибка драйвера"_s);
    EXPECT_EQ(Cell(1, 3), u" Ошибка [- Нет связи]"_s);
    EXPECT_EQ(Model()->StateImage(1), siError);
}

TEST_F(TWindowTest, PasteWithoutTextOnlyClearsTheStatusLine)
{
    const QString fileName = Load(MixedLog());
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(picture);
    Child<QLineEdit>("edtStatus")->setText(u"x"_s);
    Trigger("N5");
    EXPECT_EQ(Status(), QString());
    EXPECT_EQ(Model()->rowCount(), 7);
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), fileName);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

// A load that fails keeps the log that was loaded, says why, and the window goes on.
TEST_F(TWindowTest, FailedLoadShowsTheErrorAndKeepsTheLoadedLog)
{
    Load(MixedLog());
    const QString label = Child<QLabel>("lblFileName")->text();
    Window->LoadLogFile(Path(u"missing.log"_s));
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_EQ(Model()->rowCount(), 7);
    EXPECT_EQ(Window->Commands().size(), 7);
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), label);
    EXPECT_EQ(Status(), u"Лог не загружен: загруженный лог оставлен"_s);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Load(MixedLog());
    EXPECT_EQ(Model()->rowCount(), 7);
}

TEST_F(TWindowTest, FailedFirstLoadLeavesTheListEmpty)
{
    Window->LoadLogFile(Path(u"missing.log"_s));
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_EQ(Model()->rowCount(), 0);
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), OpenPrompt);
}

TEST_F(TWindowTest, LogWithoutExchangesKeepsTheLoadedLogAndTheProgressMaximum)
{
    Load(MixedLog());
    Load({});
    EXPECT_EQ(Model()->rowCount(), 7);
    EXPECT_TRUE(Status().startsWith(u"Команды в логе не найдены в "_s)) << Status().toStdString();
    EXPECT_EQ(Child<QProgressBar>("progress")->maximum(), 6);
}

TEST_F(TWindowTest, OpenDialogLoadsTheChosenFileAndCancelChangesNothing)
{
    const QString fileName = Path(u"chosen.log"_s);
    WriteLog(fileName, MixedLog());
    Click("btnOpen");
    EXPECT_EQ(Model()->rowCount(), 0);
    Dialogs.OpenFileName = fileName;
    Click("btnOpen");
    EXPECT_EQ(Model()->rowCount(), 7);
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), fileName);
}

TEST_F(TWindowTest, DropLoadsTheFirstFileOnly)
{
    QList<QUrl> urls;
    for (int n = 1; n <= 3; ++n) {
        const QString fileName = Path(u"drop%1.log"_s.arg(n));
        WriteLog(fileName, std::vector<TExchange>(size_t(n), TExchange{"10 1E 00 00 00", "10 00"}));
        urls << QUrl::fromLocalFile(fileName);
    }
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Window.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Window.get(), &drop);
    EXPECT_EQ(Model()->rowCount(), 1);
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), Path(u"drop1.log"_s));
}

// A drop that loads nothing says so in Russian and keeps the log that was loaded, with its label.
struct TDropCase
{
    const char* Name;
    const char* Content;  // written to the dropped file; null drops a folder
    const char* Error;    // how the error box begins; null: no error box
    const char* Status;   // how the status line begins afterwards
};

void PrintTo(const TDropCase& c, std::ostream* os) { *os << c.Name; }

class DropFeedbackTest : public TWindowTest, public ::testing::WithParamInterface<TDropCase> {};

TEST_P(DropFeedbackTest, SaysWhatHappened)
{
    const TDropCase& c = GetParam();
    Load(MixedLog());
    const int rows = Model()->rowCount();
    const QString label = Child<QLabel>("lblFileName")->text();
    const QString dropped = Path(u"dropped"_s);
    if (c.Content) {
        QFile file(dropped);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.Content);
    } else {
        ASSERT_TRUE(QDir().mkpath(dropped));
    }
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(dropped)});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Window.get(), &enter);
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Window.get(), &drop);

    EXPECT_EQ(Model()->rowCount(), rows);
    if (c.Error) {
        ASSERT_EQ(Dialogs.Errors.size(), 1);
        EXPECT_TRUE(Dialogs.Errors[0].startsWith(QString::fromUtf8(c.Error))) << Dialogs.Errors[0].toStdString();
    } else {
        EXPECT_TRUE(Dialogs.Errors.isEmpty());
    }
    EXPECT_TRUE(WaitUntil([&] { return Status().startsWith(QString::fromUtf8(c.Status)); })) << Status().toStdString();
    EXPECT_TRUE(Status().endsWith(u"загруженный лог оставлен"_s)) << Status().toStdString();
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), label);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Drops, DropFeedbackTest, ::testing::Values(
    TDropCase{"Folder", nullptr, "Не удалось открыть файл лога", "Лог не загружен"},
    TDropCase{"TextWithoutCommands", "just some text\r\nand more\r\n", nullptr, "Команды в логе не найдены в "},
    TDropCase{"EmptyFile", "", nullptr, "Команды в логе не найдены в "}),
    CaseName());

TEST_F(TWindowTest, MissingFileSaysItCannotBeOpened)
{
    Window->LoadLogFile(Path(u"missing.log"_s));
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_TRUE(Dialogs.Errors[0].startsWith(u"Не удалось открыть файл лога"_s)) << Dialogs.Errors[0].toStdString();
    EXPECT_TRUE(Dialogs.Errors[0].contains(Path(u"missing.log"_s)));
}

TEST_F(TWindowTest, PastedTextWithoutCommandsSaysSo)
{
    QGuiApplication::clipboard()->setText(u"no log here"_s);
    Click("btnPasteFromClipboard");
    // Nothing replaces what the window shows: here still the invitation to open a log.
    EXPECT_EQ(Child<QLabel>("lblFileName")->text(), OpenPrompt);
    EXPECT_EQ(Status(), u"В буфере обмена нет команд лога: загруженный лог оставлен"_s);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(TWindowTest, ReadExclusionListDropsCommandsWhileLoading)
{
    Child<QPlainTextEdit>("memIgnoreCommand")->setPlainText(u"10\nE0"_s);
    Load(MixedLog());
    EXPECT_EQ(Model()->rowCount(), 5);
    EXPECT_EQ(Cell(0, 2), u"Запрос состояния"_s);
}

struct TReturnCase
{
    const char* Name;
    const char* Field;
    bool Opens; // the file dialog opens (and here loads the log)
};

void PrintTo(const TReturnCase& c, std::ostream* os) { *os << c.Name; }

class ReturnTest : public TWindowTest, public ::testing::WithParamInterface<TReturnCase> {};

// Return acts on the field that has the focus; only the open button opens the file dialog.
TEST_P(ReturnTest, ActsWhereTheFocusIs)
{
    const QString log = Path(u"chosen.log"_s);
    WriteLog(log, MixedLog());
    Dialogs.OpenFileName = log;
    QWidget* field = Child<QWidget>(GetParam().Field);
    QApplication::setActiveWindow(Window.get());
    field->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), field);
    QTest::keyClick(field, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(Model()->rowCount(), GetParam().Opens ? 7 : 0);
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Fields, ReturnTest, ::testing::Values(
    TReturnCase{"EmptySearchBox", "edtSearch", false},
    TReturnCase{"DetailsPane", "memInfo", false},
    TReturnCase{"StatusLine", "edtStatus", false},
    TReturnCase{"List", "lvCommands", false},
    TReturnCase{"Filter", "edtFilter", false},
    TReturnCase{"GoTo", "edtGoTo", false},
    TReturnCase{"FollowBox", "chkFollow", false},
    TReturnCase{"OpenButton", "btnOpen", true}),
    CaseName());

} // namespace
} // namespace kestrun::test
