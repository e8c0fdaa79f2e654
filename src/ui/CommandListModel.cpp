#include "CommandListModel.h"

#include "Icons.h"
#include "decode/DisplayText.h"

#include <QColor>
#include <QElapsedTimer>
#include <QPixmap>

namespace kestrun {

namespace {

constexpr int8_t StateUnknown = -2;

const char* const StateIconNames[] = {
    "Play",
    "Error",
    "close",
};

const QColor Red(255, 0, 0);
const QColor Purple(128, 0, 128);

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
    FRows.clear();
    FRows.resize(n);
    FStates.assign(n, StateUnknown);
    FComputed = 0;
    FAheadCursor = 0;
    endResetModel();
}

void TCommandListModel::Clear() { Reset(nullptr); }

void TCommandListModel::Append()
{
    const int from = rowCount();
    const int to = FCommands ? int(FCommands->size()) : 0;
    if (to <= from)
        return;
    beginInsertRows({}, from, to - 1);
    FRows.resize(size_t(to));
    FStates.resize(size_t(to), StateUnknown);
    endInsertRows();
}

void TCommandListModel::RowChanged(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (FRows[size_t(row)]) {
        FRows[size_t(row)].reset();
        --FComputed;
    }
    FStates[size_t(row)] = StateUnknown;
    FAheadCursor = qMin(FAheadCursor, row);
    emit dataChanged(index(row, 0), index(row, colCount - 1));
}

const TCommandRow& TCommandListModel::Row(int row) const
{
    std::unique_ptr<TCommandRow>& cached = FRows[size_t(row)];
    if (!cached) {
        cached = std::make_unique<TCommandRow>(MakeCommandRow(FCommands->at(row)));
        ++FComputed;
        if (FStates[size_t(row)] == StateUnknown)
            FStates[size_t(row)] = int8_t(cached->StateImage);
    }
    return *cached;
}

int TCommandListModel::StateImage(int row) const
{
    if (FStates[size_t(row)] == StateUnknown)
        Row(row);
    return FStates[size_t(row)];
}

void TCommandListModel::SetStateImage(int row, int image)
{
    if (row < 0 || row >= rowCount())
        return;
    FStates[size_t(row)] = int8_t(image);
    emit dataChanged(index(row, 0), index(row, colCount - 1));
}

void TCommandListModel::SetStateImages(const std::vector<int8_t>& images)
{
    if (images.size() != FStates.size() || images.empty())
        return;
    FStates = images;
    emit dataChanged(index(0, 0), index(rowCount() - 1, colCount - 1));
}

bool TCommandListModel::ComputeAhead(int budgetMs)
{
    QElapsedTimer timer;
    timer.start();
    const int n = rowCount();
    while (FAheadCursor < n) {
        Row(FAheadCursor++);
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
    return parent.isValid() ? 0 : int(FRows.size());
}

int TCommandListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : colCount; }

TCellStyle TCommandListModel::CellStyle(const QModelIndex& index) const
{
    const TCommandRow& row = Row(index.row());
    return GetCellStyle(StateImage(index.row()), row.Command, row.Data, index.column());
}

QVariant TCommandListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(Row(index.row()).Cell(column));
    case Qt::DecorationRole: {
        const int state = StateImage(index.row());
        if (column != colTime)
            return {};
        // Rows without a picture keep its room, so the times stay in one column.
        return state >= 0 && state < 3 ? FStateIcons[state] : FBlankIcon;
    }
    case Qt::ForegroundRole: {
        const TCellStyle style = CellStyle(index);
        if (style.Purple)
            return Purple;
        if (style.Red)
            return Red;
        return {};
    }
    case Qt::FontRole: {
        const TCellStyle style = CellStyle(index);
        if (style.CourierNew)
            return FCourierFont;
        if (style.Bold)
            return FBoldFont;
        return FBaseFont;
    }
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
