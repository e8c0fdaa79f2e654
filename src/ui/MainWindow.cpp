// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindow.h"

#include "AnchorLayout.h"
#include "CommandListModel.h"
#include "Icons.h"
#include "log/CurrentError.h"
#include "log/Exception.h"
#include "playback/DeviceDriver.h"
#include "playback/DeviceSettings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

namespace kestrun {

namespace {

const QSize ClientSize(814, 584);
const QSize PageSize(793, 429);
// The list and the details pane never shrink below this many lines.
constexpr int LeastLines = 3;
constexpr int SplitterHandle = 8;

// Texts keep their CR LF as written; widgets break lines at LF.
QString Shown(const char* text) { return QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

QFont WindowFont()
{
    QFont font(QStringLiteral("Tahoma"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// A fixed-pitch font the system has, for when the designed one is missing.
QFont InstalledFixedFont(int pointSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(pointSize);
    return font;
}

// Judged by the widths themselves: some monospaced faces do not declare a fixed pitch.
bool LinesUpInColumns(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(u'W');
    return metrics.horizontalAdvance(u'i') == width && metrics.horizontalAdvance(u'0') == width;
}

// Courier New 10 pt, or the system's fixed-pitch font where no fixed-pitch face stands in for it:
// hex frames and code lists must line up in columns.
QFont MemoFont()
{
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    return LinesUpInColumns(font) ? font : InstalledFixedFont(font.pointSize());
}

// "%d.%d.%d.%d" of the build's version, missing parts as 0.
QString FileVersionText()
{
    QStringList parts = QStringLiteral(KESTRUN_VERSION).split(u'.');
    QStringList numbers;
    for (int i = 0; i < 4; ++i)
        numbers.append(QString::number(i < parts.size() ? parts[i].toInt() : 0));
    return numbers.join(u'.');
}

// Height a scroll area spends besides its lines: its frame and the horizontal scroll bar.
int ScrollAreaChrome(const QAbstractScrollArea& area)
{
    return 2 * area.frameWidth() + area.horizontalScrollBar()->sizeHint().height();
}

const char* const MemoHint = "Коды команд, которые не будут выполняться\r\nКаждый код команды на отдельной строке";

} // namespace

TfmMain::TfmMain(IDialogs* dialogs) : FDialogs(dialogs), FSettings(TSettingsFile::DefaultFileName())
{
    if (!FDialogs) {
        FOwnDialogs = std::make_unique<TQtDialogs>();
        FDialogs = FOwnDialogs.get();
    }
    dlgOpen.Filter = QStringLiteral("*.log;*.txt|*.log;*.txt|*.log|*.log|*.txt|*.txt|*.*|*.*");
    dlgOpen.DefaultExt = QStringLiteral("*.*");
    dlgSave.Filter = QStringLiteral("*.txt|*.txt|*.*|*.*");
    dlgSave.DefaultExt = QStringLiteral("txt");
    dlgSave.FileName = QStringLiteral("Log");
    dlgSave.ConfirmOverwrite = true;

    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("Orvandel: Kestrun & analyzer v.") + FileVersionText());
    setFont(WindowFont());
    CreateControls();
    resize(ClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FModel = new TCommandListModel(this);
    FModel->SetBaseFont(lvCommands->font());
    lvCommands->setModel(FModel);
    QHeaderView* header = lvCommands->header();
    header->setStretchLastSection(true);
    // 160 pixels hold a time stamp and its picture in the design font; a wider substitute font
    // gets what it needs, so the times are never cut.
    const int timeWidth = lvCommands->fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000 00:00:00.000"))
                          + lvCommands->iconSize().width() + 24;
    header->resizeSection(colTime, qMax(160, timeWidth));
    header->resizeSection(colThread, 70);
    header->resizeSection(colCommand, 240);
    CreateDurationColumn();
    // The window's minimum size follows from these, so that neither can be squeezed away.
    const int rowHeight = qMax(lvCommands->fontMetrics().height(), lvCommands->iconSize().height()) + 4;
    lvCommands->setMinimumHeight(header->sizeHint().height() + ScrollAreaChrome(*lvCommands) + LeastLines * rowHeight);
    memInfo->setMinimumHeight(ScrollAreaChrome(*memInfo) + 2 * int(memInfo->document()->documentMargin())
                              + LeastLines * memInfo->fontMetrics().lineSpacing());

    FFilterTimer = new QTimer(this);
    FFilterTimer->setInterval(0);
    connect(FFilterTimer, &QTimer::timeout, this, &TfmMain::FilterSlice);
    ShowStatusInfo();

    FRowsTimer = new QTimer(this);
    FRowsTimer->setInterval(0);
    connect(FRowsTimer, &QTimer::timeout, this, &TfmMain::ComputeRowsSlice);
    FLoadTimer = new QTimer(this);
    connect(FLoadTimer, &QTimer::timeout, this, &TfmMain::LoadSlice);
    ConnectHandlers();
    CreateShortcuts();
    CreateFollowControls();

    // A saved device that cannot be set up any more leaves the built-in default in its place.
    try {
        FDriver = CreateDriver(LoadDeviceText());
    } catch (const Exception& e) {
        FDialogs->ShowError(this, e.Message());
        FDriver = CreateDriver(QString::fromLatin1(DefaultDeviceText));
    }
    SetPropertiesDialog([this](const QString& deviceText) { return FDialogs->ChooseDevice(this, deviceText); });
    setAcceptDrops(true);
    FFinished = true;
    FPlayer = std::make_unique<TKestrun>();
    FSession = std::make_unique<TReplaySession>(*FPlayer, *this);
    FLastStateIndex = -1;
    FLastIndex = 0;
    EnableStarts(FFinished);
}

TfmMain::~TfmMain()
{
    CancelLoad();
    // A window never shown has not read the settings: saving would put defaults over them.
    if (FSettingsRestored && !FSettingsSaved)
        SaveSettings();
    StopPlay();
    setAcceptDrops(false);
    SetPropertiesDialog({});
    StopFilter();
    FModel->Clear();
    FCommands.clear();
    FDriver.reset();
    FSession.reset();
    FPlayer.reset();
}

void TfmMain::CreateControls()
{
    struct TButton
    {
        QPushButton* TfmMain::*Member;
        const char* Name;
        const char* Caption;
        const char* Icon;
        QRect Place;
    };
    // btnGetStatus comes first: it leads the keyboard focus order. It stands at the free place
    // above btnStop so that it can be seen and clicked.
    const TButton buttons[] = {
        {&TfmMain::btnGetStatus, "btnGetStatus", "Запрос состояния", "", {636, 8, 144, 25}},
        {&TfmMain::btnOpen, "btnOpen", "Открыть файл лога", "open", {8, 8, 137, 25}},
        {&TfmMain::btnSettings, "btnSettings", "Настройка свойств ...", "settings", {149, 8, 187, 25}},
        {&TfmMain::btnPasteFromClipboard, "btnPasteFromClipboard", "Вставить из буфера", "", {340, 8, 144, 25}},
        {&TfmMain::btnFindError, "btnFindError", "Найти ошибку", "", {488, 8, 144, 25}},
        {&TfmMain::btnStart, "btnStart", "Запустить", "right-chevron", {8, 39, 137, 25}},
        {&TfmMain::btnStartFromPosition, "btnStartFromPosition", "Запустить c текущей строки", "right-chevron", {149, 39, 187, 25}},
        {&TfmMain::btnStartCurrentLine, "btnStartCurrentLine", "Текущая строка", "right-chevron", {340, 39, 144, 25}},
        {&TfmMain::btnStartSelected, "btnStartSelected", "Выделенное", "right-chevron", {488, 39, 144, 25}},
        {&TfmMain::btnStop, "btnStop", "Остановить", "cancel", {636, 39, 144, 25}},
    };

    auto* layout = new TAnchorLayout(this, ClientSize);
    for (const TButton& def : buttons) {
        auto* button = new QPushButton(WindowIcon(QLatin1String(def.Icon)), QString::fromUtf8(def.Caption), this);
        button->setObjectName(QLatin1String(def.Name));
        button->setAutoDefault(false);
        layout->Add(button, def.Place);
        this->*def.Member = button;
    }
    btnStop->setEnabled(false);
    SetDefaultButton(btnOpen);

    lblFileName = new QLabel(OpenLogPrompt(), this);
    lblFileName->setObjectName(QStringLiteral("lblFileName"));
    // A long path is cut at the window's edge rather than widening the window.
    lblFileName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->Add(lblFileName, {11, 71, ClientSize.width() - 19, 16}, TAnchor::aStretchRight);

    edtStatus = new QLineEdit(this);
    edtStatus->setObjectName(QStringLiteral("edtStatus"));
    edtStatus->setReadOnly(true);
    QPalette grey = edtStatus->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window));
    edtStatus->setPalette(grey);
    layout->Add(edtStatus, {8, 92, 688, 21}, TAnchor::aStretchRight);

    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setTextVisible(false);
    progress->setRange(0, 100);
    progress->setValue(0);
    layout->Add(progress, {702, 94, 107, 17}, TAnchor::aKeepRight);

    pgcLog = new QTabWidget(this);
    pgcLog->setObjectName(QStringLiteral("pgcLog"));
    pgcLog->addTab(CreateLogPage(), QStringLiteral("Лог"));
    pgcLog->addTab(CreateOptionsPage(), QStringLiteral("Параметры"));
    // The free end of the tab row holds the status information, so no designed control moves.
    lblStatusInfo = new QLabel(pgcLog);
    lblStatusInfo->setObjectName(QStringLiteral("lblStatusInfo"));
    lblStatusInfo->setContentsMargins(0, 0, 4, 0);
    pgcLog->setCornerWidget(lblStatusInfo, Qt::TopRightCorner);
    layout->Add(pgcLog, {8, 120, 801, 457}, TAnchor::aStretchBoth);

    CreateContextMenu();
}

QWidget* TfmMain::CreateLogPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsLog"));
    auto* layout = new TAnchorLayout(page, PageSize);

    edtSearch = new QLineEdit(page);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setToolTip(QStringLiteral("Поиск по времени или названию команды"));
    edtSearch->installEventFilter(this);
    layout->Add(edtSearch, {8, 16, 481, 21});

    btnSearch = new QPushButton(QStringLiteral("Поиск"), page);
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnSearch->setAutoDefault(false);
    layout->Add(btnSearch, {496, 14, 75, 25});

    splitter = new QSplitter(Qt::Vertical, page);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setHandleWidth(SplitterHandle);
    splitter->setChildrenCollapsible(false);
    splitter->installEventFilter(this);

    lvCommands = new QTreeView(CreateListPane(splitter));
    lvCommands->setObjectName(QStringLiteral("lvCommands"));
    lvCommands->setRootIsDecorated(false);
    lvCommands->setItemsExpandable(false);
    lvCommands->setUniformRowHeights(true);
    lvCommands->setAllColumnsShowFocus(true);
    lvCommands->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvCommands->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvCommands->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvCommands->setContextMenuPolicy(Qt::CustomContextMenu);
    lvCommands->setIconSize(QSize(16, 16));
    lvCommands->setTextElideMode(Qt::ElideRight);
    lvCommands->parentWidget()->layout()->addWidget(lvCommands);
    lvCommands->installEventFilter(this);

    memInfo = new QPlainTextEdit(splitter);
    memInfo->setObjectName(QStringLiteral("memInfo"));
    memInfo->setReadOnly(true);
    memInfo->setFont(MemoFont());
    memInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The keyboard moves through the details too (Ctrl+End), while they stay read-only.
    memInfo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    layout->Add(splitter, {8, 48, PageSize.width() - 16, PageSize.height() - 56}, TAnchor::aStretchBoth);
    return page;
}

QWidget* TfmMain::CreateOptionsPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsOptions"));
    auto* layout = new TAnchorLayout(page, PageSize);
    auto placeAt = [layout](QWidget* widget, QPoint at) { layout->Add(widget, QRect(at, widget->sizeHint())); };

    chkIngoreKKTErrors = new QCheckBox(QStringLiteral("Игнорировать ошибки ККТ"), page);
    chkIngoreKKTErrors->setObjectName(QStringLiteral("chkIngoreKKTErrors"));
    placeAt(chkIngoreKKTErrors, {8, 13});

    chkInfinitePlay = new QCheckBox(QStringLiteral("Зациклить воспроизведение"), page);
    chkInfinitePlay->setObjectName(QStringLiteral("chkInfinitePlay"));
    placeAt(chkInfinitePlay, {8, 37});

    chkFindPlayedErrors = new QCheckBox(QStringLiteral("\"Найти ошибку\" учитывает ошибки воспроизведения"), page);
    chkFindPlayedErrors->setObjectName(QStringLiteral("chkFindPlayedErrors"));
    placeAt(chkFindPlayedErrors, {8, 272});

    auto makeMemo = [page](const char* name, const QString& text) {
        auto* memo = new QPlainTextEdit(text, page);
        memo->setObjectName(QLatin1String(name));
        memo->setFont(MemoFont());
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setToolTip(Shown(MemoHint));
        return memo;
    };
    placeAt(new QLabel(Shown("Команды-исключения\r\n(на запуск):\r\nОдна строка - \r\nодин код команды"), page), {205, 11});
    memCommandExceptions = makeMemo("memCommandExceptions", DefaultExceptList().join(u'\n'));
    layout->Add(memCommandExceptions, {206, 72, 107, 185});

    placeAt(new QLabel(Shown("Команды-исключения\r\n(на чтение из лога):\r\nОдна строка -\r\nодин код команды"), page), {381, 11});
    memIgnoreCommand = makeMemo("memIgnoreCommand", QString());
    layout->Add(memIgnoreCommand, {379, 73, 102, 184});

    btnStatistics = new QPushButton(QStringLiteral("Статистика"), page);
    btnStatistics->setObjectName(QStringLiteral("btnStatistics"));
    placeAt(btnStatistics, {500, 9});
    return page;
}

void TfmMain::CreateContextMenu()
{
    pmMain = new QMenu(this);
    pmMain->setObjectName(QStringLiteral("pmMain"));
    auto add = [this](const char* name, const QString& caption) {
        QAction* action = pmMain->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    Pfdfa1 = add("Pfdfa1", QStringLiteral("Выполнить эту строку"));
    pmMain1 = add("pmMain1", QStringLiteral("Запустить с этой строки"));
    N3 = add("N3", QStringLiteral("Запустить выделенное"));
    pmMain->addSeparator();
    N2 = add("N2", QStringLiteral("Сохранить в файл..."));
    pmMain->addSeparator();
    N5 = add("N5", QStringLiteral("Вставить из буфера обмена"));
    CreateCopyActions();
}

void TfmMain::ConnectHandlers()
{
    connect(btnOpen, &QPushButton::clicked, this, &TfmMain::btnOpenClick);
    connect(btnGetStatus, &QPushButton::clicked, this, &TfmMain::btnGetStatusClick);
    connect(btnSettings, &QPushButton::clicked, this, &TfmMain::btnSettingsClick);
    connect(btnStop, &QPushButton::clicked, this, &TfmMain::StopPlay);
    const std::pair<QObject*, TStartRange> starts[] = {
        {btnStart, TStartRange::srAll},
        {btnStartFromPosition, TStartRange::srFromCurrent},
        {pmMain1, TStartRange::srFromCurrent},
        {btnStartCurrentLine, TStartRange::srCurrentLine},
        {Pfdfa1, TStartRange::srCurrentLine},
        {btnStartSelected, TStartRange::srSelected},
        {N3, TStartRange::srSelected},
    };
    for (const auto& [sender, range] : starts) {
        const auto start = [this, range = range, sender = sender] { StartRun(range, sender); };
        if (auto* button = qobject_cast<QPushButton*>(sender))
            connect(button, &QPushButton::clicked, this, start);
        else
            connect(static_cast<QAction*>(sender), &QAction::triggered, this, start);
    }
    connect(btnPasteFromClipboard, &QPushButton::clicked, this, &TfmMain::PasteLog);
    connect(N5, &QAction::triggered, this, &TfmMain::PasteLog);
    connect(btnSearch, &QPushButton::clicked, this, &TfmMain::btnSearchClick);
    connect(btnFindError, &QPushButton::clicked, this, &TfmMain::btnFindErrorClick);
    connect(btnStatistics, &QPushButton::clicked, this, &TfmMain::btnStatisticsClick);
    connect(N2, &QAction::triggered, this, &TfmMain::N2Click);
    connect(edtSearch, &QLineEdit::textChanged, this, [this] { SetDefaultButton(btnSearch); });
    // The pane and the current-row starts follow the current row; a load or a filter resets the
    // selection without telling its own signals.
    const auto followCurrent = [this] {
        ShowCurrentDetails();
        EnableStarts(FFinished);
    };
    connect(lvCommands->selectionModel(), &QItemSelectionModel::selectionChanged, this, followCurrent);
    connect(lvCommands->selectionModel(), &QItemSelectionModel::currentChanged, this, followCurrent);
    connect(FModel, &QAbstractItemModel::modelReset, this, followCurrent);
    // Whoever else writes the pane (load, run, status query) replaces the row's details.
    connect(memInfo, &QPlainTextEdit::textChanged, this, [this] { FDetailsCommand = TCommandIndex(); });
    connect(lvCommands, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmMain->popup(lvCommands->viewport()->mapToGlobal(at)); });
}

void TfmMain::SetDefaultButton(QPushButton* button)
{
    if (FDefaultButton)
        FDefaultButton->setDefault(false);
    FDefaultButton = button;
    FDefaultButton->setDefault(true);
}

void TfmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!FSettingsRestored) {
        FSettingsRestored = true;
        RestoreSettings();
    }
}

void TfmMain::closeEvent(QCloseEvent* event)
{
    // A window that closes leaves no load behind: the program can end at once.
    CancelLoad();
    SaveSettings();
    FSettingsSaved = true;
    event->accept();
}

void TfmMain::keyPressEvent(QKeyEvent* event)
{
    // Enter that no control took presses the focused button; any other field keeps it. It never
    // reaches for the open button from elsewhere, whose file dialog would cover the engineer's work.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled())
            button->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TfmMain::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile())
        return;
    LoadLogFile(urls.constFirst().toLocalFile());
}

bool TfmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lvCommands && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            CopyRows(TRowFormat::rfTabs);
            return true;
        }
        // Enter on a row is no request to open a file: it stops here instead of reaching the
        // default button.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            return true;
    }
    if (watched == edtSearch && event->type() == QEvent::MouseButtonPress)
        SetDefaultButton(btnSearch);
    // Enter in the search box searches for what it holds, and for nothing else.
    if (watched == edtSearch && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (!edtSearch->text().isEmpty())
                btnSearchClick();
            return true;
        }
    }
    // The details pane gets its design height once the splitter has its first real size.
    if (watched == splitter && event->type() == QEvent::Resize && !FSplitterPlaced && splitter->height() > 0) {
        FSplitterPlaced = true;
        const int total = splitter->height() - splitter->handleWidth();
        splitter->setSizes({qMax(0, total - FInfoHeight), FInfoHeight});
    }
    return QWidget::eventFilter(watched, event);
}

void TfmMain::RunGuarded(const std::function<void()>& action)
{
    try {
        action();
    } catch (...) {
        FDialogs->ShowError(this, CurrentErrorMessage());
    }
}

void TfmMain::RepaintNow()
{
    // User input waits, so nothing can start a second action in the middle of this one.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace kestrun
