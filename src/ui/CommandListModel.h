#pragma once

#include "decode/CommandView.h"
#include "log/Command.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QIcon>
#include <memory>
#include <vector>

namespace kestrun {

// The rows of the command list: one per command, the texts of each made once, on first use
// (drawing, search) or ahead of time by ComputeAhead, and kept.
class TCommandListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TCommandListModel(QObject* parent = nullptr);
    ~TCommandListModel() override;

    // Shows `commands`, which must stay unchanged until the next Reset or Clear.
    void Reset(const TCommands* commands);
    void Clear();
    // Shows the commands appended to the list since the last Reset or Append, as rows at the end.
    void Append();
    // The command of the row was replaced: its texts and state image are made again.
    void RowChanged(int row);

    // The row's cells and the state image it got when loaded.
    const TCommandRow& Row(int row) const;
    int StateImage(int row) const;
    void SetStateImage(int row, int image);
    // Gives every row the same image in one change, as the start of a run does.
    void SetStateImages(const std::vector<int8_t>& images);

    // Makes the texts of further rows until `budgetMs` has passed; false once all are made.
    bool ComputeAhead(int budgetMs);
    int ComputedCount() const { return FComputed; }

    // The list's normal font; bold and Courier New cells derive from it.
    void SetBaseFont(const QFont& font);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    TCellStyle CellStyle(const QModelIndex& index) const;

    const TCommands* FCommands = nullptr;
    mutable std::vector<std::unique_ptr<TCommandRow>> FRows;
    mutable std::vector<int8_t> FStates;
    mutable int FComputed = 0;
    int FAheadCursor = 0;
    QFont FBaseFont;
    QFont FBoldFont;
    QFont FCourierFont;
    QIcon FStateIcons[3];
    QIcon FBlankIcon;
};

} // namespace kestrun
