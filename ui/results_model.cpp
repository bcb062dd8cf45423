#include "ui/results_model.h"

#include <fmt/format.h>

#include "engine/encoding.h"
#include "engine/texts.h"
#include "ui/dialog_texts.h"

namespace dovra {
namespace {

QString FromEngineText(const std::string& cp932) {
    return QString::fromStdString(Cp932ToUtf8Lossy(cp932));
}

QString Hex(std::uint32_t value) {
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

enum CreateColumn { kCName, kCOldAddress, kCSize, kCNewAddress, kCOutcome, kCMatches, kCSimilarity, kCNote, kCCount };
enum RewriteColumn {
    kRName,
    kROldAddress,
    kRNewAddress,
    kROldSize,
    kRNewSize,
    kROutcome,
    kRFields,
    kRConflicts,
    kRCount
};

int Index(ResultsFilter filter) {
    return static_cast<int>(filter);
}

} // namespace

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultsModel::ShowCreate(std::span<const CreateTableRecord> tables) {
    beginResetModel();
    m_command = Command::Create;
    m_create.assign(tables.begin(), tables.end());
    m_rewrite.clear();
    m_names.clear();
    m_notes.clear();
    m_names.reserve(static_cast<qsizetype>(tables.size()));
    m_notes.reserve(static_cast<qsizetype>(tables.size()));
    for (const CreateTableRecord& table : m_create) {
        m_names.push_back(FromEngineText(table.name));
        QStringList notes;
        for (const std::string& note : table.notes) {
            // The log indents its ※ lines; the cell has no room to spare for that.
            notes.push_back(FromEngineText(note).trimmed());
        }
        m_notes.push_back(notes.join(QLatin1Char(' ')));
    }
    Recount();
    endResetModel();
}

void ResultsModel::ShowRewrite(std::span<const RewriteOutcome> tables) {
    beginResetModel();
    m_command = Command::Rewrite;
    m_rewrite.assign(tables.begin(), tables.end());
    m_create.clear();
    m_names.clear();
    m_notes.clear();
    m_names.reserve(static_cast<qsizetype>(tables.size()));
    for (const RewriteOutcome& table : m_rewrite) {
        m_names.push_back(FromEngineText(table.name));
    }
    Recount();
    endResetModel();
}

void ResultsModel::Clear() {
    beginResetModel();
    m_command = Command::None;
    m_create.clear();
    m_rewrite.clear();
    m_names.clear();
    m_notes.clear();
    Recount();
    endResetModel();
}

void ResultsModel::Recount() {
    for (ResultsFilter filter :
         {ResultsFilter::All, ResultsFilter::NeedsCheck, ResultsFilter::NotFound, ResultsFilter::Error}) {
        int count = 0;
        for (int row = 0; row < rowCount(); ++row) {
            count += Accepts(row, filter) ? 1 : 0;
        }
        m_counts[Index(filter)] = count;
    }
}

int ResultsModel::Count(ResultsFilter filter) const {
    return m_counts[Index(filter)];
}

bool ResultsModel::Accepts(int row, ResultsFilter filter) const {
    const auto at = static_cast<std::size_t>(row);
    if (filter == ResultsFilter::All) {
        return true;
    }
    if (m_command == Command::Create) {
        const CreateTableRecord& table = m_create[at];
        switch (filter) {
        case ResultsFilter::NeedsCheck:
            // The tables the log marks with a ※ line: the summary's 要確認 count.
            return !table.notes.empty();
        case ResultsFilter::NotFound:
            return table.outcome == CreateOutcome::NotFound;
        case ResultsFilter::Error:
            return table.outcome == CreateOutcome::Error;
        case ResultsFilter::All:
            break;
        }
        return true;
    }
    const RewriteOutcome& table = m_rewrite[at];
    switch (filter) {
    case ResultsFilter::NeedsCheck:
        // A field the user and the update both changed kept the user's value; the user should look at it.
        return table.conflicts > 0;
    case ResultsFilter::NotFound:
        // The rewrite finds no table: each one's place comes from the new settings folder.
        return false;
    case ResultsFilter::Error:
        return table.outcome == TableOutcome::kError;
    case ResultsFilter::All:
        break;
    }
    return true;
}

QString ResultsModel::LogName(int row) const {
    return m_names.value(row);
}

QString ResultsModel::LogAddressLine(int row) const {
    const auto at = static_cast<std::size_t>(row);
    if (m_command == Command::Create) {
        return FromEngineText(fmt::format(fmt::runtime(text::kCreateAddressLine), m_create[at].oldAddress));
    }
    if (m_command == Command::Rewrite) {
        return FromEngineText(
            fmt::format(fmt::runtime(text::kRewriteAddressLine), m_rewrite[at].oldAddress, m_rewrite[at].newAddress));
    }
    return {};
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return static_cast<int>(m_command == Command::Create ? m_create.size() : m_rewrite.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    switch (m_command) {
    case Command::Create:
        return kCCount;
    case Command::Rewrite:
        return kRCount;
    case Command::None:
        break;
    }
    return 0;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    switch (role) {
    case kNeedsCheckRole:
        return Accepts(index.row(), ResultsFilter::NeedsCheck);
    case kNotFoundRole:
        return Accepts(index.row(), ResultsFilter::NotFound);
    case kErrorRole:
        return Accepts(index.row(), ResultsFilter::Error);
    case Qt::DisplayRole:
    case kSortRole:
        break;
    case Qt::TextAlignmentRole:
        if (index.column() != kCName && !(m_command == Command::Create && index.column() == kCNote) &&
            !(m_command == Command::Create && index.column() == kCOutcome) &&
            !(m_command == Command::Rewrite && index.column() == kROutcome)) {
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        }
        return {};
    default:
        return {};
    }
    const auto at = static_cast<std::size_t>(index.row());
    if (index.column() == 0) {
        return m_names[index.row()];
    }
    return m_command == Command::Create ? CreateCell(m_create[at], index.column(), role)
                                        : RewriteCell(m_rewrite[at], index.column(), role);
}

QVariant ResultsModel::CreateCell(const CreateTableRecord& table, int column, int role) const {
    const bool sort = role == kSortRole;
    switch (column) {
    case kCOldAddress:
        return sort ? QVariant(table.oldAddress) : QVariant(Hex(table.oldAddress));
    case kCSize:
        return sort ? QVariant(table.size) : QVariant(QString::number(table.size));
    case kCNewAddress:
        if (!table.newAddress) {
            // Tables without a new place sort before every address.
            return sort ? QVariant(-1LL) : QVariant(QString());
        }
        return sort ? QVariant(static_cast<qlonglong>(*table.newAddress)) : QVariant(Hex(*table.newAddress));
    case kCOutcome:
        return sort ? QVariant(static_cast<int>(table.outcome)) : QVariant(FromEngineText(OutcomeLabel(table.outcome)));
    case kCMatches:
        return sort ? QVariant(table.matchCount) : QVariant(QString::number(table.matchCount));
    case kCSimilarity:
        if (!table.similarity) {
            return sort ? QVariant(-1) : QVariant(QString());
        }
        return sort ? QVariant(static_cast<int>(*table.similarity))
                    : QVariant(QStringLiteral("%1%").arg(*table.similarity));
    case kCNote: {
        const auto row = static_cast<qsizetype>(&table - m_create.data());
        return m_notes.value(row);
    }
    default:
        return {};
    }
}

QVariant ResultsModel::RewriteCell(const RewriteOutcome& table, int column, int role) const {
    const bool sort = role == kSortRole;
    switch (column) {
    case kROldAddress:
        return sort ? QVariant(table.oldAddress) : QVariant(Hex(table.oldAddress));
    case kRNewAddress:
        return sort ? QVariant(table.newAddress) : QVariant(Hex(table.newAddress));
    case kROldSize:
        return sort ? QVariant(table.oldSize) : QVariant(QString::number(table.oldSize));
    case kRNewSize:
        return sort ? QVariant(table.newSize) : QVariant(QString::number(table.newSize));
    case kROutcome:
        return sort ? QVariant(static_cast<int>(table.outcome)) : QVariant(FromEngineText(OutcomeLabel(table.outcome)));
    case kRFields:
        return sort ? QVariant(table.fieldsWritten) : QVariant(QString::number(table.fieldsWritten));
    case kRConflicts:
        return sort ? QVariant(table.conflicts) : QVariant(QString::number(table.conflicts));
    default:
        return {};
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    using namespace ui_text;
    static const char8_t* const createHeads[] = {kColumnName,       kColumnOldAddress, kColumnSize,
                                                 kColumnNewAddress, kColumnOutcome,    kColumnMatches,
                                                 kColumnSimilarity, kColumnNote};
    static const char8_t* const rewriteHeads[] = {kColumnName,    kColumnOldAddress, kColumnNewAddress,
                                                  kColumnOldSize, kColumnNewSize,    kColumnOutcome,
                                                  kColumnFields,  kColumnConflicts};
    if (section < 0 || section >= columnCount()) {
        return {};
    }
    const char8_t* head = m_command == Command::Create ? createHeads[section] : rewriteHeads[section];
    return QString::fromUtf8(reinterpret_cast<const char*>(head));
}

ResultsProxyModel::ResultsProxyModel(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(ResultsModel::kSortRole);
    setSortLocaleAware(false);
}

void ResultsProxyModel::SetFilter(ResultsFilter filter) {
    if (filter == m_filter) {
        return;
    }
    m_filter = filter;
    invalidateFilter();
}

bool ResultsProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const auto* model = static_cast<const ResultsModel*>(sourceModel());
    return model->Accepts(sourceRow, m_filter);
}

} // namespace dovra
