// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decode/CommandOutcome.h"
#include "decode/CommandView.h"
#include "ListPositions.h"
#include "SummaryStore.h"
#include "log/Command.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QIcon>
#include <optional>
#include <unordered_map>
#include <vector>

namespace kestrun {

// The rows of the command list: one per shown command. A row's texts are made on first use
// (drawing, search) or ahead of time by ComputeAhead; whole rows are kept only for the commands
// drawn lately, while every command keeps its "Data" text (for search and filters) and its state
// image compactly, so a log of millions of commands fits in little memory. Every command is shown
// until a filter narrows the list; the model's own rows are then the shown ones, while Row,
// Summary, StateImage and SetStateImage keep taking the command's index in the whole list.
class TCommandListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TCommandListModel(QObject* parent = nullptr);
    ~TCommandListModel() override;

    // Shows `commands`, which must stay unchanged until the next Reset or Clear.
    void Reset(const TCommands* commands);
    void Clear();
    int CommandCount() const { return int(FStates.size()); }
    // Takes in the commands appended to the list since the last Reset or Append: all of them as
    // rows at the end, or with a filter on only `shownAdded` (ascending, after every shown one).
    void Append(const QList<int>& shownAdded = {});
    // The command was replaced: its texts and state image are made again.
    void CommandChanged(int command);
    // The commands the list shows, ascending; nothing shows them all.
    void SetShown(std::optional<QList<int>> shown);
    bool Filtered() const { return FShown.has_value(); }
    // The command a list row shows, and the list row of a command (-1 when it is not shown).
    TCommandIndex CommandAt(TModelRow row) const;
    TModelRow RowOf(TCommandIndex command) const;
    // The list row of the command, or of the first shown command after it; invalid when none.
    TModelRow RowAtOrAfter(TCommandIndex command) const;
    QModelIndex IndexOf(TCommandIndex command) const;
    // The shown commands in list order.
    QList<int> ShownCommands() const;

    // The command's cells and the state image it got when loaded; valid until the next call.
    const TCommandRow& Row(int command) const;
    // Its "Data" cell, without making the whole row once it is known.
    QString Summary(int command) const;
    // The command's outcome; whether its summary decodes is kept once known.
    TOutcome Outcome(int command) const;
    int StateImage(int command) const;
    void SetStateImage(int command, int image);
    // Gives every row the same image in one change, as the start of a run does.
    void SetStateImages(const std::vector<int8_t>& images);

    // Makes the "Data" texts of further rows until `budgetMs` has passed; false once all are made.
    bool ComputeAhead(int budgetMs);
    int ComputedCount() const { return FComputed; }
    // How many whole rows are kept at most.
    static constexpr size_t RecentRows = 512;

    // The list's normal font; bold and Courier New cells derive from it.
    void SetBaseFont(const QFont& font);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    TCellStyle CellStyle(int command, int column) const;
    // Keeps what every command keeps of its freshly made row.
    void Remember(int command, const TCommandRow& row) const;
    void ForgetRecent(int command);

    const TCommands* FCommands = nullptr;
    std::optional<QList<int>> FShown;
    mutable TSummaryStore FSummaries;
    mutable std::vector<int8_t> FStates;
    // Per command: ofDecodeFault or 0 once known, FaultUnknown before.
    mutable std::vector<uint8_t> FDecodeFaults;
    // The rows drawn lately, replaced oldest first.
    mutable std::vector<std::pair<int, TCommandRow>> FRecent;
    mutable std::unordered_map<int, size_t> FRecentSlots;
    mutable size_t FNextSlot = 0;
    mutable int FComputed = 0;
    int FAheadCursor = 0;
    QFont FBaseFont;
    QFont FBoldFont;
    QFont FCourierFont;
    QIcon FStateIcons[3];
    QIcon FBlankIcon;
};

} // namespace kestrun
