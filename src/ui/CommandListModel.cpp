// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandListModel.h"

#include "Icons.h"
#include "decode/DisplayText.h"

#include <QColor>
#include <QElapsedTimer>
#include <QPixmap>
#include <algorithm>
#include <numeric>

namespace kestrun {

namespace {

constexpr int8_t StateUnknown = -2;
constexpr uint8_t FaultUnknown = 0xFF;

const char* const StateIconNames[] = {
    "Play",
    "Error",
    "close",
};

const QColor Red(255, 0, 0);
const QColor Purple(128, 0, 128);
const QColor PlayedErrorBackground(255, 214, 153);
const QString PlayedErrorTip = QStringLiteral("Ошибка при воспроизведении");

} // namespace

TCommandListModel::TCommandListModel(QObject* parent) : QAbstractTableModel(parent)
{
    for (int i = 0; i < 3; ++i)
        FStateIcons[i] = WindowIcon(QLatin1String(StateIconNames[i]));
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    FBlankIcon = QIcon(blank);
}

TCommandListModel::~TCommandListModel() = default;

void TCommandListModel::Reset(const TCommands* commands)
{
    beginResetModel();
    FCommands = commands;
    const size_t n = commands ? size_t(commands->size()) : 0;
    FSummaries.Clear();
    FSummaries.Resize(n);
    FRecent.clear();
    // Rows handed out stay where they are while the round fills.
    FRecent.reserve(RecentRows);
    FRecentSlots.clear();
    FNextSlot = 0;
    FStates.assign(n, StateUnknown);
    FStates.shrink_to_fit();
    FDecodeFaults.assign(n, FaultUnknown);
    FDecodeFaults.shrink_to_fit();
    FComputed = 0;
    FAheadCursor = 0;
    FShown.reset();
    endResetModel();
}

void TCommandListModel::SetShown(std::optional<QList<int>> shown)
{
    beginResetModel();
    FShown = std::move(shown);
    endResetModel();
}

TCommandIndex TCommandListModel::CommandAt(TModelRow row) const
{
    return TCommandIndex(FShown ? FShown->at(row.Value) : row.Value);
}

TModelRow TCommandListModel::RowOf(TCommandIndex command) const
{
    const TModelRow row = RowAtOrAfter(command);
    return row.Valid() && CommandAt(row) == command ? row : TModelRow();
}

TModelRow TCommandListModel::RowAtOrAfter(TCommandIndex command) const
{
    if (command.Value < 0 || command.Value >= CommandCount())
        return {};
    if (!FShown)
        return TModelRow(command.Value);
    const auto at = std::lower_bound(FShown->begin(), FShown->end(), command.Value);
    return at == FShown->end() ? TModelRow() : TModelRow(int(at - FShown->begin()));
}

QModelIndex TCommandListModel::IndexOf(TCommandIndex command) const
{
    const TModelRow row = RowOf(command);
    return row.Valid() ? index(row.Value, 0) : QModelIndex();
}

QList<int> TCommandListModel::ShownCommands() const
{
    if (FShown)
        return *FShown;
    QList<int> all(CommandCount());
    std::iota(all.begin(), all.end(), 0);
    return all;
}

void TCommandListModel::Clear() { Reset(nullptr); }

void TCommandListModel::Append(const QList<int>& shownAdded)
{
    const int from = CommandCount();
    const int to = FCommands ? int(FCommands->size()) : 0;
    if (to <= from)
        return;
    if (!FShown) {
        beginInsertRows({}, from, to - 1);
        FSummaries.Resize(size_t(to));
        FStates.resize(size_t(to), StateUnknown);
        FDecodeFaults.resize(size_t(to), FaultUnknown);
        endInsertRows();
        return;
    }
    FSummaries.Resize(size_t(to));
    FStates.resize(size_t(to), StateUnknown);
    FDecodeFaults.resize(size_t(to), FaultUnknown);
    if (shownAdded.isEmpty())
        return;
    const int first = int(FShown->size());
    beginInsertRows({}, first, first + int(shownAdded.size()) - 1);
    FShown->append(shownAdded);
    endInsertRows();
}

void TCommandListModel::CommandChanged(int command)
{
    if (command < 0 || command >= CommandCount())
        return;
    if (FSummaries.Has(size_t(command))) {
        FSummaries.Forget(size_t(command));
        --FComputed;
    }
    ForgetRecent(command);
    FStates[size_t(command)] = StateUnknown;
    FDecodeFaults[size_t(command)] = FaultUnknown;
    FAheadCursor = qMin(FAheadCursor, command);
    if (const TModelRow row = RowOf(TCommandIndex(command)); row.Valid())
        emit dataChanged(index(row.Value, 0), index(row.Value, colCount - 1));
}

const TCommandRow& TCommandListModel::Row(int command) const
{
    if (const auto found = FRecentSlots.find(command); found != FRecentSlots.end())
        return FRecent[found->second].second;
    TCommandRow row = MakeCommandRow(FCommands->at(command));
    Remember(command, row);
    if (FRecent.size() < RecentRows) {
        FRecent.emplace_back(command, std::move(row));
        FRecentSlots.emplace(command, FRecent.size() - 1);
        return FRecent.back().second;
    }
    const size_t slot = FNextSlot;
    FNextSlot = (FNextSlot + 1) % RecentRows;
    FRecentSlots.erase(FRecent[slot].first);
    FRecent[slot] = {command, std::move(row)};
    FRecentSlots.emplace(command, slot);
    return FRecent[slot].second;
}

QString TCommandListModel::Summary(int command) const
{
    if (std::optional<QString> known = FSummaries.Get(size_t(command)))
        return *std::move(known);
    return Row(command).Data;
}

void TCommandListModel::Remember(int command, const TCommandRow& row) const
{
    if (!FSummaries.Has(size_t(command))) {
        FSummaries.Set(size_t(command), row.Data);
        ++FComputed;
    }
    if (FStates[size_t(command)] == StateUnknown)
        FStates[size_t(command)] = int8_t(row.StateImage);
    FDecodeFaults[size_t(command)] = row.Outcome & ofDecodeFault;
}

TOutcome TCommandListModel::Outcome(int command) const
{
    const TCommand& record = FCommands->at(command);
    uint8_t& fault = FDecodeFaults[size_t(command)];
    if (fault == FaultUnknown)
        fault = GetCommandOutcome(record) & ofDecodeFault;
    // The rest is read afresh: a run changes the replayed answer.
    return RecordOutcome(record) | fault;
}

void TCommandListModel::ForgetRecent(int command)
{
    const auto found = FRecentSlots.find(command);
    if (found == FRecentSlots.end())
        return;
    // The slot stays in the round; only its row is made again when asked for.
    FRecent[found->second].first = -1;
    FRecentSlots.erase(found);
}

int TCommandListModel::StateImage(int command) const
{
    if (FStates[size_t(command)] == StateUnknown)
        Row(command);
    return FStates[size_t(command)];
}

void TCommandListModel::SetStateImage(int command, int image)
{
    if (command < 0 || command >= CommandCount())
        return;
    FStates[size_t(command)] = int8_t(image);
    if (const TModelRow row = RowOf(TCommandIndex(command)); row.Valid())
        emit dataChanged(index(row.Value, 0), index(row.Value, colCount - 1));
}

void TCommandListModel::SetStateImages(const std::vector<int8_t>& images)
{
    if (images.size() != FStates.size() || images.empty())
        return;
    FStates = images;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, colCount - 1));
}

bool TCommandListModel::ComputeAhead(int budgetMs)
{
    QElapsedTimer timer;
    timer.start();
    const int n = CommandCount();
    while (FAheadCursor < n) {
        const int command = FAheadCursor++;
        // Made ahead, a row is not kept whole: that room is for the rows drawn.
        if (!FSummaries.Has(size_t(command)))
            Remember(command, MakeCommandRow(FCommands->at(command)));
        if ((FAheadCursor & 63) == 0 && timer.elapsed() >= budgetMs)
            break;
    }
    return FAheadCursor < n;
}

void TCommandListModel::SetBaseFont(const QFont& font)
{
    FBaseFont = font;
    FBoldFont = font;
    FBoldFont.setBold(true);
    FCourierFont = font;
    FCourierFont.setFamilies({QStringLiteral("Courier New")});
    FCourierFont.setStyleHint(QFont::TypeWriter);
}

int TCommandListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return FShown ? int(FShown->size()) : CommandCount();
}

int TCommandListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : colCount; }

TCellStyle TCommandListModel::CellStyle(int command, int column) const
{
    const TCommandRow& row = Row(command);
    return GetCellStyle(StateImage(command), row.Outcome, row.Properties, column);
}

QVariant TCommandListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int column = index.column();
    const int command = CommandAt(TModelRow(index.row())).Value;
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(Row(command).Cell(column));
    case Qt::DecorationRole: {
        const int state = StateImage(command);
        if (column != colTime)
            return {};
        // Rows without a picture keep its room, so the times stay in one column.
        return state >= 0 && state < 3 ? FStateIcons[state] : FBlankIcon;
    }
    case Qt::ForegroundRole: {
        const TCellStyle style = CellStyle(command, column);
        if (style.Purple)
            return Purple;
        if (style.Red)
            return Red;
        return {};
    }
    case Qt::FontRole: {
        const TCellStyle style = CellStyle(command, column);
        if (style.CourierNew)
            return FCourierFont;
        if (style.Bold)
            return FBoldFont;
        return FBaseFont;
    }
    case Qt::BackgroundRole:
        // The state image keeps its designed meaning; a failed replay is marked besides it.
        return RecordOutcome(FCommands->at(command)) & ofPlayedError ? QVariant(PlayedErrorBackground) : QVariant();
    case Qt::ToolTipRole:
        return RecordOutcome(FCommands->at(command)) & ofPlayedError ? QVariant(PlayedErrorTip) : QVariant();
    default:
        return {};
    }
}

QVariant TCommandListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < colCount)
        return ColumnTitle(section);
    return {};
}

Qt::ItemFlags TCommandListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

} // namespace kestrun
