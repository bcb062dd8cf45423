#pragma once

#include <span>
#include <vector>

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "migration/create_outcome.h"
#include "rewrite/rewrite_outcome.h"

namespace dovra {

// Which rows a results filter lets through; every row belongs to All, and to at most one of the others
// besides NeedsCheck.
enum class ResultsFilter { All, NeedsCheck, NotFound, Error };

// The last command's per-table outcome as rows, one per table, made from the engine's own records (the
// ones the log blocks and the report are made from). Cells are display text; the sort role holds numbers
// for the numeric columns so that 0x1000 sorts after 0x200.
class ResultsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kSortRole = Qt::UserRole;
    static constexpr int kNeedsCheckRole = Qt::UserRole + 1;
    static constexpr int kNotFoundRole = Qt::UserRole + 2;
    static constexpr int kErrorRole = Qt::UserRole + 3;

    enum class Command { None, Create, Rewrite };

    explicit ResultsModel(QObject* parent = nullptr);

    void ShowCreate(std::span<const CreateTableRecord> tables);
    void ShowRewrite(std::span<const RewriteOutcome> tables);
    void Clear();

    Command ShownCommand() const { return m_command; }
    int Count(ResultsFilter filter) const;
    bool Accepts(int row, ResultsFilter filter) const;
    // The table's name as the log shows it, and the line after it in the log (its address line).
    QString LogName(int row) const;
    QString LogAddressLine(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVariant CreateCell(const CreateTableRecord& table, int column, int role) const;
    QVariant RewriteCell(const RewriteOutcome& table, int column, int role) const;
    void Recount();

    Command m_command = Command::None;
    std::vector<CreateTableRecord> m_create;
    std::vector<RewriteOutcome> m_rewrite;
    // Names are converted once: converting on every paint and every sort comparison would dominate.
    QStringList m_names;
    QStringList m_notes;
    int m_counts[4] = {0, 0, 0, 0};
};

// Sorts on the model's sort role and lets through the rows of the chosen filter.
class ResultsProxyModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit ResultsProxyModel(QObject* parent = nullptr);
    void SetFilter(ResultsFilter filter);
    ResultsFilter Filter() const { return m_filter; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    ResultsFilter m_filter = ResultsFilter::All;
};

} // namespace dovra
