#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include <QDialog>

#include "engine/definition_updater.h"
#include "ui/log_pane.h"
#include "ui/path_pickers.h"
#include "ui/results_view.h"

class CDropEdit;
class QPlainTextEdit;

namespace Ui {
class CDovraUpdaterDlg;
}

// The tool's one window: five path fields (the fifth, the unmodified old binary, optional), the two commands, the log
// pane and the About box. It owns the engine and is the engine's voice: log lines go to the log pane, questions to
// OK/Cancel boxes, the engine's messages to OK boxes. Everything runs on the UI thread; a command runs to its end
// inside its button's handler, and every box it opens is modal, so no second command can start meanwhile.
class CDovraUpdaterDlg : public QDialog {
    Q_OBJECT

public:
    explicit CDovraUpdaterDlg(QWidget* parent = nullptr);
    ~CDovraUpdaterDlg() override;

    // Replaces the folder and file pickers of the five "開く" buttons (tests answer in their place).
    void SetPathPicker(dovra::PathPicker picker);

    const CDefinitionUpdater& Updater() const { return m_updater; }

    // Shows the log tab with the block of the results table's `row` (a model row) at the top and its first
    // line selected; false when the log holds no such block (the user cleared or edited it).
    bool ShowTableInLog(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnRewriteClicked();
    void OnCreateClicked();
    // The unmodified old binary when its field holds a path, the plain rewrite when it is empty; false
    // (after both messages) when the file does not load or is refused.
    bool LoadBaseBinary(const std::string& path);
    void Pick(CDropEdit& field, dovra::PickerKind kind);
    void ShowAbout();
    // Remembers where the command's lines begin in the log, to find its tables' blocks there later.
    void MarkCommandStart();

    // The channels the engine speaks through; every text from the engine is code page 932.
    void AppendLog(const std::string& line);
    bool Confirm(const std::string& question);
    void ShowEngineMessage(const std::string& text);

    // The fields' texts as code page 932 for the engine, or nullopt (after telling the user which path) when
    // one of them has no exact code page 932 form: altering a path could make a command read or write
    // another file than the one named.
    template <std::size_t N>
    std::optional<std::array<std::string, N>> EnginePaths(const std::array<const CDropEdit*, N>& fields);

#ifdef _WIN32
    void AddAboutToSystemMenu();
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

    std::unique_ptr<Ui::CDovraUpdaterDlg> m_ui;
    CDropEdit* m_oldFolderEdit = nullptr;
    CDropEdit* m_newFolderEdit = nullptr;
    CDropEdit* m_oldBinaryEdit = nullptr;
    CDropEdit* m_baseBinaryEdit = nullptr;
    CDropEdit* m_newBinaryEdit = nullptr;
    CDefinitionUpdater m_updater;
    QPlainTextEdit* m_logEdit = nullptr;
    std::unique_ptr<dovra::LogPane> m_logPane;
    dovra::PathPicker m_pathPicker;
    dovra::ResultsView* m_results = nullptr;
    int m_commandFirstBlock = 0;
};
