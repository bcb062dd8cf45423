#pragma once

#include <array>
#include <span>

#include <QWidget>

#include "ui/results_model.h"

class QPushButton;
class QTableView;

namespace dovra {

// The results tab: the last command's tables in a sortable table, four filter buttons that show how many
// tables each lets through, and copying of the selected rows as tab-separated text. Enter or a
// double-click on a row asks for that table's block in the log (TableChosen).
class ResultsView : public QWidget {
    Q_OBJECT

public:
    explicit ResultsView(QWidget* parent = nullptr);

    // After a command: the rows, the counts and, when any table needs checking, the 要確認 filter.
    void ShowCreate(std::span<const CreateTableRecord> tables);
    void ShowRewrite(std::span<const RewriteOutcome> tables);

    void SetFilter(ResultsFilter filter);
    const ResultsModel& Model() const { return m_model; }
    const ResultsProxyModel& Proxy() const { return m_proxy; }
    QTableView& Table() const { return *m_table; }
    QPushButton& FilterButton(ResultsFilter filter) const;
    // The selected rows as the clipboard gets them: one line per row, cells separated by tabs.
    QString SelectedRowsText() const;
    void CopySelectedRows() const;

signals:
    // `row` is the model's row (not the sorted or filtered one).
    void TableChosen(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Shown();
    void UpdateButtons();
    void Choose(const QModelIndex& proxyIndex);

    ResultsModel m_model;
    ResultsProxyModel m_proxy;
    QTableView* m_table = nullptr;
    std::array<QPushButton*, 4> m_buttons{};
};

} // namespace dovra
