#include "AskParam.h"

#include "ColMemo.h"
#include "EngineError.h"
#include "FieldParam.h"
#include "IniFile.h"
#include "MessageDlg.h"
#include "ParamWalk.h"
#include "TableParam.h"
#include "TypeParam.h"
#include "WhereParam.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <memory>

bool AskParamValue(const TParamContext &ctx, const QString &prefix, const QString &name,
                   QString &value)
{
    const TParamKind kind = ParamKindOf(name);
    std::unique_ptr<TfrmParam> dlg;
    switch (kind) {
    case TParamKind::Table: {
        auto *table = new TfrmTableParam(ctx.owner);
        table->DatabaseName = ctx.databaseName;
        table->Session = ctx.session;
        dlg.reset(table);
        break;
    }
    case TParamKind::Field:
    case TParamKind::Where: {
        TfrmFieldParam *field = kind == TParamKind::Where
            ? new TfrmWhereParam(ctx.owner, ctx.session)
            : new TfrmFieldParam(ctx.owner, ctx.session);
        field->tabSource.DatabaseName = ctx.databaseName;
        field->tabSource.TableName = ctx.tableName;
        dlg.reset(field);
        break;
    }
    case TParamKind::Type:
        dlg.reset(new TfrmTypeParam(ctx.owner));
        break;
    case TParamKind::Free:
        dlg.reset(new TfrmParam(ctx.owner));
        if (ctx.ini)
            dlg->SetChoices(ParamHistory(*ctx.ini, name));
        break;
    }
    dlg->setWindowTitle(prefix);
    // The WHERE builder's label keeps its own caption.
    if (kind != TParamKind::Where)
        dlg->lblParam->setText(name);
    dlg->cmbParam->setEditText(value);
    if (IsSecretParam(name))
        dlg->cmbParam->lineEdit()->setEchoMode(QLineEdit::Password);
    if (dlg->exec() != QDialog::Accepted)
        return false;
    dlg->GetParamValue(value);
    // The confirmed value is used also when the history cannot keep it.
    if (kind == TParamKind::Free && ctx.ini) {
        try {
            AddParamHistory(*ctx.ini, name, value);
        } catch (const EDatabaseError &e) {
            MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
        }
    }
    return true;
}

bool ParamWalkEditor(TColorMemo *editor, int startLine, QStringList &remembered,
                     const TParamContext &ctx, const TParamText &text)
{
    TMemoDocument *doc = editor->document();
    QStringList lines;
    lines.reserve(doc->blockCount());
    for (int i = 0; i < doc->blockCount(); ++i)
        lines << doc->LineText(i);
    const auto ask = [&ctx](const QString &caption, const QString &name, QString &value) {
        return AskParamValue(ctx, caption, name, value);
    };
    // The editor's caret follows the rewritten lines as it follows any edit.
    const auto written = [doc](int line, const QString &text) {
        TMemoCursor c(doc->findBlockByNumber(line));
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        // A line break in a value would shift every later line; the value stays on its line.
        QString flat = text;
        flat.replace(u'\n', u' ')
            .replace(u'\r', u' ')
            .replace(QChar::ParagraphSeparator, u' ')
            .replace(QChar::LineSeparator, u' ');
        c.insertText(flat);
    };
    return ParamWalk(lines, startLine, remembered, ask, written, text);
}

void NewParam(TColorMemo *editor, int &counter)
{
    const QString name = NewParamName(counter);
    TMemoCursor c = editor->textCursor();
    const int start = c.selectionStart();
    c.insertText(u'<' + name + u'>');
    c.setPosition(start + 1);
    c.setPosition(start + 1 + name.size(), QTextCursor::KeepAnchor);
    editor->setTextCursor(c);
    editor->setFocus(Qt::OtherFocusReason);
    ++counter;
}
