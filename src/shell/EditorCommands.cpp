#include "EditorCommands.h"

#include "ColMemo.h"

#include "EditorLogic.h"
#include "FindCmdDlg.h"
#include "GotoLine.h"
#include "IniFile.h"
#include "MessageDlg.h"
#include "Paths.h"
#include "Settings.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>

namespace {
const QString ScriptFilter = QStringLiteral("SQL Script (*.SQL *.sql)");
const QString DataFilter
    = QStringLiteral("Data Files (*.db *.dbf *.gdb *.mdb *.DB *.DBF *.GDB *.MDB)");
} // namespace

TEditorCommands::TEditorCommands(TEditorHost host, QObject *parent)
    : QObject(parent)
    , m_host(std::move(host))
{
    if (!m_host.openUrl)
        m_host.openUrl = [](const QUrl &url) {
            return QDesktopServices::openUrl(url);
        };
    if (m_host.helpCandidates.isEmpty())
        m_host.helpCandidates
            = QuickTourCandidates(OrvaneDataFolder(), QCoreApplication::applicationDirPath());
    connect(m_host.editor, &TColorMemo::textChanged, this, &TEditorCommands::memSQLChange);
    m_host.editor->installEventFilter(this);
    m_host.editor->viewport()->installEventFilter(this);
    m_host.editor->viewport()->setAcceptDrops(true);
}

QString TEditorCommands::Remembered(const QString &name) const
{
    return m_host.values ? RememberedValue(*m_host.values, name) : QString();
}

void TEditorCommands::SetSaveEnabled(bool enabled)
{
    for (QAction *a : std::as_const(m_host.saveActions))
        a->setEnabled(enabled);
}

bool TEditorCommands::EditorActive() const
{
    return m_host.window && m_host.window->focusWidget() == m_host.editor;
}

QStringList TEditorCommands::EditorLines(const TColorMemo *editor)
{
    const TMemoDocument *doc = editor->document();
    QStringList lines;
    lines.reserve(doc->blockCount());
    for (int i = 0; i < doc->blockCount(); ++i)
        lines << doc->LineText(i);
    return lines;
}

QString TEditorCommands::EditorText(const TColorMemo *editor)
{
    return editor->toPlainText();
}

bool TEditorCommands::SaveQuestion()
{
    if (!m_host.editor->document()->isModified())
        return true;
    switch (MessageDlg(QStringLiteral("Save File?"), TMsgDlgType::Confirmation,
                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::No:
        return true;
    case QMessageBox::Yes:
        return Save(m_fileState == fsUntitled);
    default:
        return false;
    }
}

bool TEditorCommands::Save(bool askName)
{
    QString fileName = m_fileName;
    if (askName || fileName.isEmpty()) {
        QFileDialog dlg(m_host.window, QStringLiteral("Save..."));
        dlg.setObjectName(QStringLiteral("svdlgSQL"));
        dlg.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setNameFilter(ScriptFilter);
        dlg.setDefaultSuffix(QStringLiteral("SQL"));
        if (m_host.ini)
            dlg.setDirectory(m_host.ini->ReadString(Ini::Config, Ini::InitialDir));
        dlg.selectFile(Remembered(QStringLiteral("TableName")));
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return false;
        fileName = dlg.selectedFiles().first();
        if (QFileInfo::exists(fileName)
            && MessageDlg(QStringLiteral("File exists. Overwrite?"), TMsgDlgType::Confirmation,
                          QMessageBox::Yes | QMessageBox::No)
                != QMessageBox::Yes)
            return false;
    }
    bool latin1Lost = false;
    const QString error
        = SaveScriptFile(fileName, EditorText(m_host.editor), m_format, &latin1Lost);
    if (!error.isEmpty()) {
        MessageDlg(error, TMsgDlgType::Error, QMessageBox::Ok);
        return false;
    }
    if (latin1Lost)
        MessageDlg(QStringLiteral("The script holds characters that Latin-1 cannot write; \"%1\" "
                                  "was saved as UTF-8.")
                       .arg(fileName),
                   TMsgDlgType::Information, QMessageBox::Ok);
    m_fileName = QFileInfo(fileName).absoluteFilePath();
    m_host.window->setWindowTitle(m_fileName);
    const QString path = m_host.nodePath ? m_host.nodePath() : QString();
    if (!path.isEmpty() && m_host.ini)
        m_host.ini->WriteString(ScriptSection(m_fileName), Ini::Find, path);
    m_host.editor->document()->setModified(false);
    SetSaveEnabled(false);
    m_fileState = fsSaved;
    return true;
}

bool TEditorCommands::OpenScript(const QString &fileName)
{
    const TScriptLoad load = LoadScriptFile(fileName);
    if (!load.ok) {
        MessageDlg(load.error, TMsgDlgType::Error, QMessageBox::Ok);
        return false;
    }
    // A long script goes in a slice at a time under the window's progress bar; Escape stops
    // it and keeps the script there was.
    QProgressBar *bar = m_host.window
        ? m_host.window->findChild<QProgressBar *>(QStringLiteral("prgB"))
        : nullptr;
    const bool wasVisible = bar && bar->isVisible();
    const bool loaded = m_host.editor->LoadText(load.text, [bar](qsizetype done, qsizetype total) {
        if (bar) {
            bar->setRange(0, 1000);
            bar->setValue(int(done * 1000 / std::max<qsizetype>(total, 1)));
            bar->show();
        }
        return true;
    });
    if (bar && !wasVisible)
        bar->hide();
    if (!loaded) {
        if (m_host.setStatus)
            m_host.setStatus(QStringLiteral("Opening %1 stopped").arg(fileName));
        return false;
    }
    m_host.editor->document()->setModified(false);
    m_format = load.format;
    const QFileInfo info(fileName);
    m_fileName = info.absoluteFilePath();
    m_host.window->setWindowTitle(m_fileName);
    if (m_host.setStatus && m_host.nodePath)
        m_host.setStatus(m_host.nodePath());
    if (m_host.ini) {
        m_host.ini->WriteString(Ini::Config, Ini::InitialDir, info.absolutePath());
        const QString path = m_host.ini->ReadString(ScriptSection(m_fileName), Ini::Find);
        if (!path.isEmpty() && m_host.findByPath)
            m_host.findByPath(path);
    }
    return true;
}

void TEditorCommands::mnuFileNewClick()
{
    if (!SaveQuestion())
        return;
    m_host.window->setWindowTitle(ApplicationTitle);
    m_host.editor->clear();
    m_host.editor->document()->setModified(false);
    if (m_host.fileNew)
        m_host.fileNew();
    m_fileName.clear();
    m_format = {};
    m_fileState = fsUntitled;
    SetSaveEnabled(false);
}

void TEditorCommands::mnuFileOpenClick()
{
    QFileDialog dlg(m_host.window, QStringLiteral("Open..."));
    dlg.setObjectName(QStringLiteral("opdlgSQL"));
    dlg.setOptions(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilters({ScriptFilter, DataFilter});
    dlg.setDefaultSuffix(QStringLiteral("SQL"));
    if (m_host.ini)
        dlg.setDirectory(m_host.ini->ReadString(Ini::Config, Ini::InitialDir));
    dlg.selectFile(Remembered(QStringLiteral("TableName")));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    const QString fileName = dlg.selectedFiles().first();
    if (dlg.selectedNameFilter() == DataFilter) {
        if (m_host.openDataFile)
            m_host.openDataFile(fileName);
        return;
    }
    if (!SaveQuestion() || !OpenScript(fileName))
        return;
    m_fileState = fsOpened;
    SetSaveEnabled(false);
}

bool TEditorCommands::mnuFileSaveClick()
{
    return Save(m_fileState == fsUntitled);
}

bool TEditorCommands::mnuFileSaveAsClick()
{
    return Save(true);
}

void TEditorCommands::memSQLChange()
{
    const bool any = !m_host.editor->document()->isEmpty();
    for (QAction *a : std::as_const(m_host.executeActions))
        a->setEnabled(any);
    SetSaveEnabled(any);
}

void TEditorCommands::popMemPopup(QAction *mnuPopParameters)
{
    mnuPopParameters->setEnabled(m_host.editor->textCursor().hasSelection());
}

void TEditorCommands::memSQLKeyUp(int key)
{
    if (key == Qt::Key_F9 || !m_host.setStatus)
        return;
    const TMemoCursor c = m_host.editor->textCursor();
    m_host.setStatus(CaretStatusText(c.blockNumber(), c.positionInBlock(),
                                     m_host.editor->document()->LineLength(c.blockNumber())));
}

void TEditorCommands::SelectLine(TColorMemo *editor, int line)
{
    TMemoDocument *doc = editor->document();
    TMemoCursor c(doc->findBlockByNumber(ClampLine(line, doc->blockCount())));
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    editor->setTextCursor(c);
    editor->setFocus(Qt::OtherFocusReason);
}

void TEditorCommands::mnuEdtGotoLineClick()
{
    TfrmGotoLine dlg(m_host.window);
    const int caretLine = m_host.editor->textCursor().blockNumber();
    dlg.SetRange(m_host.editor->document()->blockCount(), caretLine + 1);
    if (dlg.exec() != QDialog::Accepted)
        return;
    if (const std::optional<int> target = GotoLineTarget(dlg.edtLineNumber->text(), caretLine))
        SelectLine(m_host.editor, *target);
}

void TEditorCommands::mnuEdtFindCmdClick()
{
    const bool editorActive = EditorActive();
    int kind = -1;
    QString nodeText;
    if (m_host.selectedNode)
        m_host.selectedNode(kind, nodeText);
    const QString findCommand = QStringLiteral("FindCommand");
    Tfrm_FindCmd dlg(m_host.window);
    dlg.edtFind->setText(FindCmdProposal(editorActive, kind, nodeText, Remembered(findCommand)));
    dlg.edtFind->selectAll();
    if (dlg.exec() != QDialog::Accepted)
        return;
    const QString text = dlg.edtFind->text();
    if (m_host.values)
        SetRememberedValue(*m_host.values, findCommand, text);
    TFindCmdOptions options;
    options.caseSensitive = dlg.chkCase->isChecked();
    options.wholeWords = dlg.chkWhole->isChecked();
    options.backward = dlg.DirectionIndex() == 1;
    const int start = editorActive ? m_host.editor->textCursor().blockNumber() : 0;
    const int line = FindCmdLine(EditorLines(m_host.editor), text, start, options);
    if (line >= 0)
        SelectLine(m_host.editor, line);
}

void TEditorCommands::mnuHelpQuickTourClick()
{
    for (const QString &path : std::as_const(m_host.helpCandidates))
        if (QFileInfo(path).isFile()) {
            if (!m_host.openUrl(QUrl::fromLocalFile(path)))
                MessageDlg(QStringLiteral("No viewer could open \"%1\".").arg(path),
                           TMsgDlgType::Error, QMessageBox::Ok);
            return;
        }
    // The design's place for the page is beside the program.
    MessageDlg(QuickTourMissingText(m_host.helpCandidates.value(m_host.helpCandidates.size() - 1)),
               TMsgDlgType::Error, QMessageBox::Ok);
}

bool TEditorCommands::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (watched == m_host.editor)
            memSQLKeyUp(static_cast<QKeyEvent *>(event)->key());
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // Text dragged within the editor moves as usual; anything else (a tree node) is
        // taken for the Script command.
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (watched == m_host.editor->viewport() && drag->source() != m_host.editor
            && drag->source() != m_host.editor->viewport()) {
            drag->acceptProposedAction();
            m_dropPending = true;
            return true;
        }
        break;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (watched == m_host.editor->viewport() && m_dropPending && drop->source() != m_host.editor
            && drop->source() != m_host.editor->viewport()) {
            drop->acceptProposedAction();
            m_dropPending = false;
            if (m_host.dropOnEditor)
                m_host.dropOnEditor();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
