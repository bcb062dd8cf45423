#include "ui/dovra_updater_dlg.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QString>
#include <QTabWidget>
#include <QTextBlock>

#include "engine/encoding.h"
#include "engine/message_box.h"
#include "engine/texts.h"
#include "ui/about_dlg.h"
#include "ui/dialog_resources.h"
#include "ui/dialog_texts.h"
#include "ui/drop_edit.h"
#include "ui/log_pane_menu.h"
#include "ui/message_boxes.h"
#include "ui_dovra_updater_dlg.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace {

QString FromEngineText(const std::string& cp932) {
    return QString::fromStdString(dovra::Cp932ToUtf8Lossy(cp932));
}

#ifdef _WIN32
// The About entry's command id in the system menu; the low four bits are the system's own.
constexpr UINT kAboutSysCommand = 0x0010;
#endif

} // namespace

CDovraUpdaterDlg::CDovraUpdaterDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CDovraUpdaterDlg>()), m_pathPicker(dovra::PickWithFileDialog) {
    dovra::InitDialogResources();
    m_ui->setupUi(this);
    m_oldFolderEdit = m_ui->oldFolderEdit;
    m_newFolderEdit = m_ui->newFolderEdit;
    m_oldBinaryEdit = m_ui->oldBinaryEdit;
    m_baseBinaryEdit = m_ui->baseBinaryEdit;
    m_newBinaryEdit = m_ui->newBinaryEdit;
    m_logEdit = m_ui->logEdit;
    m_logPane = std::make_unique<dovra::LogPane>(*m_logEdit);
    // Saving and copying the whole log from its context menu; a child of the dialog, found by its name.
    new dovra::LogPaneMenu(*m_logEdit, this);

    // The results of the last command beside its log, on a second tab so the log keeps its place and size.
    m_results = new dovra::ResultsView(m_ui->resultsTab);
    m_ui->resultsTabLayout->addWidget(m_results);
    m_ui->resultTabs->setTabText(1, QString::fromUtf8(reinterpret_cast<const char*>(dovra::ui_text::kResultsTab)));
    connect(m_results, &dovra::ResultsView::TableChosen, this, [this](int row) { ShowTableInLog(row); });

    // A caption with a close box and a sizing border, no minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    // Enter anywhere runs the rewrite (the default button). The log pane is a dialog field too: Enter there
    // runs the rewrite like in the other fields, Ctrl+Enter breaks the line.
    m_ui->rewriteButton->setDefault(true);
    m_logEdit->installEventFilter(this);

    connect(m_ui->rewriteButton, &QPushButton::clicked, this, &CDovraUpdaterDlg::OnRewriteClicked);
    connect(m_ui->createButton, &QPushButton::clicked, this, &CDovraUpdaterDlg::OnCreateClicked);
    connect(m_ui->quitButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->pickOldFolderButton, &QPushButton::clicked, this,
            [this] { Pick(*m_oldFolderEdit, dovra::PickerKind::Folder); });
    connect(m_ui->pickNewFolderButton, &QPushButton::clicked, this,
            [this] { Pick(*m_newFolderEdit, dovra::PickerKind::Folder); });
    connect(m_ui->pickOldBinaryButton, &QPushButton::clicked, this,
            [this] { Pick(*m_oldBinaryEdit, dovra::PickerKind::File); });
    connect(m_ui->pickBaseBinaryButton, &QPushButton::clicked, this,
            [this] { Pick(*m_baseBinaryEdit, dovra::PickerKind::File); });
    connect(m_ui->pickNewBinaryButton, &QPushButton::clicked, this,
            [this] { Pick(*m_newBinaryEdit, dovra::PickerKind::File); });
    // The About entry: the window's context menu and F1 everywhere, and the system menu on Windows.
    connect(m_ui->aboutAction, &QAction::triggered, this, &CDovraUpdaterDlg::ShowAbout);
#ifdef _WIN32
    AddAboutToSystemMenu();
#endif

    m_updater.m_log = [this](const std::string& line) { AppendLog(line); };
    m_updater.m_confirm = [this](const std::string& question) { return Confirm(question); };
    dovra::SetMessageBoxChannel([this](const std::string& text) { ShowEngineMessage(text); });

    // The first tab stop has the focus when the window opens.
    m_ui->rewriteButton->setFocus();
}

CDovraUpdaterDlg::~CDovraUpdaterDlg() {
    dovra::SetMessageBoxChannel(nullptr);
}

void CDovraUpdaterDlg::SetPathPicker(dovra::PathPicker picker) {
    m_pathPicker = std::move(picker);
}

template <std::size_t N>
std::optional<std::array<std::string, N>> CDovraUpdaterDlg::EnginePaths(const std::array<const CDropEdit*, N>& fields) {
    std::array<std::string, N> paths;
    for (std::size_t i = 0; i < N; ++i) {
        const QString text = fields[i]->text();
        auto cp932 = dovra::Utf8ToCp932(text.toStdString());
        if (!cp932) {
            dovra::ShowOkBox(this, QString::fromUtf8(dovra::ui_text::kPathNotRepresentable).arg(text));
            return std::nullopt;
        }
        paths[i] = std::move(*cp932);
    }
    return paths;
}

void CDovraUpdaterDlg::OnRewriteClicked() {
    const auto paths =
        EnginePaths<5>({m_oldFolderEdit, m_newFolderEdit, m_oldBinaryEdit, m_newBinaryEdit, m_baseBinaryEdit});
    if (!paths) {
        return;
    }
    const auto& [oldFolder, newFolder, oldBinary, newBinary, baseBinary] = *paths;
    MarkCommandStart();
    dovra::LogPane::Batch logBatch(*m_logPane);
    // Whatever the engine recorded, also when a load stopped the command (then there are no rows).
    const auto showResults = qScopeGuard([this] { m_results->ShowRewrite(m_updater.LastRewrite()); });
    // A settings folder that is not there has been named in a message box; nothing runs on it.
    if (!m_updater.LoadOldSettings(oldFolder) || !m_updater.LoadNewSettings(newFolder)) {
        return;
    }
    if (!m_updater.LoadOldBinary(oldBinary)) {
        ShowEngineMessage(dovra::text::kOldBinaryLoadFailed);
        return;
    }
    if (!m_updater.LoadNewBinary(newBinary)) {
        ShowEngineMessage(dovra::text::kNewBinaryLoadFailed);
        return;
    }
    if (!LoadBaseBinary(baseBinary)) {
        return;
    }
    m_updater.Rewrite();
}

bool CDovraUpdaterDlg::LoadBaseBinary(const std::string& path) {
    if (path.empty()) {
        m_updater.ClearBaseBinary();
        return true;
    }
    if (!m_updater.LoadBaseBinary(path)) {
        ShowEngineMessage(dovra::text::kBaseBinaryLoadFailed);
        return false;
    }
    return true;
}

void CDovraUpdaterDlg::OnCreateClicked() {
    // The new settings folder and the unmodified old binary play no part in creating definitions; their
    // fields are not even read.
    const auto paths = EnginePaths<3>({m_oldFolderEdit, m_oldBinaryEdit, m_newBinaryEdit});
    if (!paths) {
        return;
    }
    const auto& [oldFolder, oldBinary, newBinary] = *paths;
    MarkCommandStart();
    dovra::LogPane::Batch logBatch(*m_logPane);
    const auto showResults = qScopeGuard([this] { m_results->ShowCreate(m_updater.LastCreateOutcomes()); });
    if (!m_updater.LoadOldSettings(oldFolder)) {
        return;
    }
    if (!m_updater.LoadOldBinary(oldBinary)) {
        ShowEngineMessage(dovra::text::kOldBinaryLoadFailed);
        return;
    }
    if (!m_updater.LoadNewBinary(newBinary)) {
        ShowEngineMessage(dovra::text::kNewBinaryLoadFailed);
        return;
    }
    m_updater.CreateDefinitions();
}

void CDovraUpdaterDlg::MarkCommandStart() {
    m_logPane->Flush();
    // The document always ends in an empty block after the last line end: the command's first line goes there.
    m_commandFirstBlock = m_logEdit->document()->blockCount() - 1;
}

bool CDovraUpdaterDlg::ShowTableInLog(int row) {
    const dovra::ResultsModel& model = m_results->Model();
    if (row < 0 || row >= model.rowCount()) {
        return false;
    }
    m_logPane->Flush();
    // A block is the table's name on a line of its own, then its address line; the name alone could also be
    // a field's name or a file's, the two lines together only the table's heading.
    const QString name = model.LogName(row);
    const QString addressLine = model.LogAddressLine(row);
    QTextDocument* document = m_logEdit->document();
    QTextBlock block = document->findBlockByNumber(std::max(0, m_commandFirstBlock));
    if (!block.isValid() || block.blockNumber() != m_commandFirstBlock) {
        // The user shortened the log since: look through all of it.
        block = document->firstBlock();
    }
    for (; block.isValid(); block = block.next()) {
        if (block.text() == name && block.next().isValid() && block.next().text() == addressLine) {
            break;
        }
    }
    if (!block.isValid()) {
        return false;
    }
    m_ui->resultTabs->setCurrentWidget(m_ui->logTab);
    // Scrolled to the end first, so that making the block visible puts it at the top of the pane.
    QScrollBar* bar = m_logEdit->verticalScrollBar();
    bar->setValue(bar->maximum());
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    m_logEdit->setTextCursor(cursor);
    m_logEdit->ensureCursorVisible();
    m_logEdit->setFocus();
    return true;
}

void CDovraUpdaterDlg::Pick(CDropEdit& field, dovra::PickerKind kind) {
    if (!m_pathPicker) {
        return;
    }
    if (const auto path = m_pathPicker(this, kind)) {
        field.setText(*path);
    }
}

bool CDovraUpdaterDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_logEdit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ControlModifier) {
                m_logEdit->textCursor().insertText(QStringLiteral("\n"));
            } else {
                m_ui->rewriteButton->click();
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CDovraUpdaterDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CDovraUpdaterDlg::AppendLog(const std::string& line) {
    m_logPane->Append(FromEngineText(line));
}

bool CDovraUpdaterDlg::Confirm(const std::string& question) {
    m_logPane->Flush();
    return dovra::AskOkCancel(this, FromEngineText(question));
}

void CDovraUpdaterDlg::ShowEngineMessage(const std::string& text) {
    m_logPane->Flush();
    dovra::ShowOkBox(this, FromEngineText(text));
}

#ifdef _WIN32
void CDovraUpdaterDlg::AddAboutToSystemMenu() {
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
    const std::wstring text = m_ui->aboutAction->text().toStdWString();
    if (menu == nullptr || text.empty()) {
        return;
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kAboutSysCommand, text.c_str());
}

bool CDovraUpdaterDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    const auto* msg = static_cast<const MSG*>(message);
    if (eventType == "windows_generic_MSG" && msg->message == WM_SYSCOMMAND &&
        (msg->wParam & 0xFFF0) == kAboutSysCommand) {
        ShowAbout();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}
#endif
