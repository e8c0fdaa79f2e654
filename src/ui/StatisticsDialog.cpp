// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatisticsDialog.h"

#include "TimelineView.h"
#include "decode/CommandStatistics.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <functional>

namespace kestrun {

using namespace Qt::StringLiterals;

namespace {

// A read-only table of `rows` rows and the given columns; numbers from `firstNumber` on are right-aligned.
QTableWidget* NewTable(const char* name, int columns, int rows, int firstNumber,
                       const std::function<QString(int)>& title, const std::function<QString(int, int)>& cell)
{
    auto* table = new QTableWidget(rows, columns);
    table->setObjectName(QLatin1String(name));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    for (int column = 0; column < columns; ++column)
        table->setHorizontalHeaderItem(column, new QTableWidgetItem(title(column)));
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            auto* item = new QTableWidgetItem(cell(row, column));
            if (column >= firstNumber)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(row, column, item);
        }
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

} // namespace

TStatisticsDialog::TStatisticsDialog(const TCommands& commands, QWidget* parent) : QDialog(parent)
{
    setObjectName(u"dlgStatistics"_s);
    setWindowTitle(u"Статистика"_s);
    resize(900, 600);

    // One pass gives the tables and the timeline.
    TStatisticsCollector collector(true);
    for (const TCommand& command : commands)
        collector.Add(command);
    const TCommandStatistics statistics = collector.Result();

    QList<TCodeStatistics> groups = statistics.Codes;
    groups.append(statistics.Total);
    QTableWidget* codes = NewTable("tblCodes", scColumnCount, int(groups.size()), scCount, StatisticsColumnTitle,
                                   [&groups](int row, int column) { return StatisticsCell(groups[row], column); });
    // The total row stands out.
    QFont bold = codes->font();
    bold.setBold(true);
    for (int column = 0; column < scColumnCount; ++column)
        codes->item(codes->rowCount() - 1, column)->setFont(bold);

    const QList<TSlowCommand>& slowest = statistics.Slowest;
    QTableWidget* slow = NewTable("tblSlowest", slColumnCount, int(slowest.size()), slDuration, SlowColumnTitle,
                                  [&slowest](int row, int column) { return SlowCell(slowest[row], column); });
    slow->setToolTip(u"Двойной щелчок показывает команду в списке"_s);
    connect(slow, &QTableWidget::cellDoubleClicked, this,
            [this, slowest](int row) { emit CommandRequested(int(slowest[row].Index)); });

    auto* timeline = new TTimelineView(collector.Timeline(), slowest);
    timeline->setObjectName(u"chtTimeline"_s);
    timeline->setToolTip(u"Колесо и клавиши +/- меняют масштаб, перетаскивание сдвигает, Home показывает всё; "
                         u"щелчок по точке показывает команду в списке"_s);
    connect(timeline, &TTimelineView::PointClicked, this, [this](qsizetype index) { emit CommandRequested(int(index)); });

    auto* tabs = new QTabWidget;
    tabs->setObjectName(u"pgcStatistics"_s);
    tabs->addTab(codes, u"Команды"_s);
    tabs->addTab(slow, u"Самые долгие"_s);
    tabs->addTab(timeline, u"График"_s);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

} // namespace kestrun
