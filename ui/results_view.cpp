#include "ui/results_view.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/dialog_texts.h"

namespace dovra {
namespace {

QString Utf8(const char8_t* text) {
    return QString::fromUtf8(reinterpret_cast<const char*>(text));
}

constexpr std::array kFilters = {ResultsFilter::All, ResultsFilter::NeedsCheck, ResultsFilter::NotFound,
                                 ResultsFilter::Error};

} // namespace

ResultsView::ResultsView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("resultsView"));
    m_proxy.setSourceModel(&m_model);

    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    const std::array<const char8_t*, 4> descriptions = {
        ui_text::kFilterAllDescription, ui_text::kFilterNeedsCheckDescription, ui_text::kFilterNotFoundDescription,
        ui_text::kFilterErrorDescription};
    const std::array<const char*, 4> names = {"filterAllButton", "filterNeedsCheckButton", "filterNotFoundButton",
                                              "filterErrorButton"};
    for (std::size_t i = 0; i < kFilters.size(); ++i) {
        auto* button = new QPushButton(this);
        button->setObjectName(QLatin1String(names[i]));
        button->setCheckable(true);
        // A filter button is no command: Enter must still run the dialog's default command elsewhere.
        button->setAutoDefault(false);
        button->setAccessibleDescription(Utf8(descriptions[i]));
        group->addButton(button);
        buttons->addWidget(button);
        m_buttons[i] = button;
        const ResultsFilter filter = kFilters[i];
        connect(button, &QPushButton::clicked, this, [this, filter] { SetFilter(filter); });
    }
    buttons->addStretch(1);
    layout->addLayout(buttons);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("resultsTable"));
    m_table->setAccessibleName(Utf8(ui_text::kResultsTableName));
    m_table->setAccessibleDescription(Utf8(ui_text::kResultsTableDescription));
    m_table->setModel(&m_proxy);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    // Rows of one line: measuring each row's height would cost more than all the rest with 10 000 rows.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->installEventFilter(this);
    connect(m_table, &QTableView::doubleClicked, this, &ResultsView::Choose);

    auto* copy = new QAction(Utf8(ui_text::kCopyRowsAction), m_table);
    copy->setObjectName(QStringLiteral("copyRowsAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &ResultsView::CopySelectedRows);
    m_table->addAction(copy);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);
    layout->addWidget(m_table, 1);

    UpdateButtons();
}

void ResultsView::ShowCreate(std::span<const CreateTableRecord> tables) {
    m_model.ShowCreate(tables);
    Shown();
}

void ResultsView::ShowRewrite(std::span<const RewriteOutcome> tables) {
    m_model.ShowRewrite(tables);
    Shown();
}

void ResultsView::Shown() {
    // A new command's rows come in its own order; the user sorts them again if wanted.
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_proxy.sort(-1);
    SetFilter(m_model.Count(ResultsFilter::NeedsCheck) > 0 ? ResultsFilter::NeedsCheck : ResultsFilter::All);
    UpdateButtons();
    m_table->resizeColumnsToContents();
}

void ResultsView::SetFilter(ResultsFilter filter) {
    m_proxy.SetFilter(filter);
    FilterButton(filter).setChecked(true);
}

QPushButton& ResultsView::FilterButton(ResultsFilter filter) const {
    return *m_buttons[static_cast<std::size_t>(filter)];
}

void ResultsView::UpdateButtons() {
    const std::array<const char8_t*, 4> texts = {ui_text::kFilterAll, ui_text::kFilterNeedsCheck,
                                                 ui_text::kFilterNotFound, ui_text::kFilterError};
    for (std::size_t i = 0; i < kFilters.size(); ++i) {
        const QString text = Utf8(texts[i]).arg(m_model.Count(kFilters[i]));
        m_buttons[i]->setText(text);
        // Read out with its count, as it is shown.
        m_buttons[i]->setAccessibleName(text);
    }
    FilterButton(m_proxy.Filter()).setChecked(true);
}

void ResultsView::Choose(const QModelIndex& proxyIndex) {
    if (proxyIndex.isValid()) {
        emit TableChosen(m_proxy.mapToSource(proxyIndex).row());
    }
}

QString ResultsView::SelectedRowsText() const {
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    // In the order the user sees them, whatever order they were selected in.
    std::sort(rows.begin(), rows.end());
    QString text;
    for (int row : rows) {
        QStringList cells;
        for (int column = 0; column < m_proxy.columnCount(); ++column) {
            QString cell = m_proxy.index(row, column).data().toString();
            // A tab or line end inside a cell would shift the columns of whatever the text is pasted into.
            cell.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
            cell.replace(QLatin1Char('\n'), QLatin1Char(' '));
            cells.push_back(cell);
        }
        text += cells.join(QLatin1Char('\t'));
        text += QLatin1Char('\n');
    }
    return text;
}

void ResultsView::CopySelectedRows() const {
    const QString text = SelectedRowsText();
    if (!text.isEmpty()) {
        QApplication::clipboard()->setText(text);
    }
}

bool ResultsView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Taken here: the table passes Enter on, and the dialog would run its default command.
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            Choose(m_table->currentIndex());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace dovra
