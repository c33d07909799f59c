#include "DBVerify.h"
#include "DataSource.h"
#include "EngineError.h"
#include "Lookup.h"
#include "MessageDlg.h"
#include "Table.h"
#include "VerifyArea.h"

#include <QPlainTextEdit>

TDBVerify::TDBVerify(QWidget *parent)
    : TVerify(parent)
{}

TDBVerify::~TDBVerify() = default;

void TDBVerify::SetKeyIndex(int index)
{
    m_keyIndex = index;
    if (index >= 0)
        SetRequired(true);
}

void TDBVerify::SetSize(int size)
{
    if (!m_dataSource)
        TVerify::SetSize(size);
}

void TDBVerify::SetEditType(TFieldType type)
{
    if (!m_dataSource)
        TVerify::SetEditType(type);
}

void TDBVerify::SetDataField(const QString &name)
{
    m_dataField = name;
    if (!m_dataSource || !m_dataSource->DataSet || name.isEmpty())
        return;
    m_field = m_dataSource->DataSet->FieldByName(name);
    SetComponentName(this, QStringLiteral("edt") + m_field.FieldName);
    // The field's size, not its display width, bounds what may be typed: a value longer than
    // the grid shows must survive being edited.
    const int size
        = m_field.DataType == ftString && m_field.Size > 0 ? m_field.Size : m_field.DisplayWidth;
    TDataSource *source = m_dataSource;
    m_dataSource = nullptr; // the type setters take the field's values only now
    TVerify::SetSize(size);
    TVerify::SetEditType(m_field.DataType);
    m_dataSource = source;
    if (!AutoAdjust)
        return;
    AdjustWidth();
    if (Picture().isEmpty())
        SetPicture(DefaultPicture(m_field.DataType));
    SetCaption(m_field.DisplayLabel);
    if (TitleLabel())
        SetComponentName(TitleLabel(), QStringLiteral("lbl") + m_field.FieldName);
    if (!Required())
        SetRequired(m_field.Required);
    if (IsMemoField(m_field.DataType))
        MakeMemoEdit();
    // Columns the result cannot change, and binary values no text can show, are only shown.
    if (m_field.ReadOnly || IsBinaryField(m_field.DataType)) {
        SetEnabled(false);
        setReadOnly(true);
        if (m_memo)
            m_memo->setReadOnly(true);
    }
}

void TDBVerify::MakeMemoEdit()
{
    m_memo = new QPlainTextEdit(parentWidget());
    SetComponentName(m_memo, QStringLiteral("mem") + m_field.FieldName);
    if (m_memo->font() != ControlFont())
        m_memo->setFont(ControlFont());
    m_memo->resize(qMax(width(), 240), 21 * 4);
    m_memo->setTabChangesFocus(true);
    m_memo->show();
    hide();
    setFocusPolicy(Qt::NoFocus);
    AdjustLabels();
}

QString TDBVerify::ControlText() const
{
    return m_memo ? m_memo->toPlainText() : text();
}

void TDBVerify::SetControlText(const QString &text)
{
    if (m_memo)
        m_memo->setPlainText(text);
    else
        setText(text);
}

QWidget *TDBVerify::FocusWidget()
{
    return m_memo ? static_cast<QWidget *>(m_memo) : this;
}

void TDBVerify::SetLookupDataSet(std::shared_ptr<TTable> table)
{
    if (table == m_lookupDataSet)
        return;
    m_lookupDataSet = std::move(table);
    m_lookup.reset();
    if (!m_lookupDataSet) {
        SetLookupField(QString());
        SetLookupDisplay(QString());
    }
}

void TDBVerify::SetLookupField(const QString &field)
{
    m_lookupField = field;
    m_lookup.reset();
    // Lookup codes are zero-padded to the field's size.
    if (EditType() == ftString && !field.isEmpty() && Picture().isEmpty())
        SetPicture(QStringLiteral("@0"));
}

void TDBVerify::SetLookupDisplay(const QString &field)
{
    m_lookupDisplay = field;
    m_lookup.reset();
    if (field.isEmpty()) {
        delete m_lookupEdit;
        return;
    }
    if (!m_lookupEdit) {
        m_lookupEdit = new QLineEdit(parentWidget());
        SetComponentName(m_lookupEdit, QStringLiteral("edt") + field);
        SetupLookupEdit();
        PositionLookupEdit();
    }
}

void TDBVerify::SetLookupEdit(QLineEdit *edit)
{
    if (edit == m_lookupEdit)
        return;
    if (edit && m_area)
        for (TVerify *c : std::as_const(m_area->Controls))
            if (auto *other = qobject_cast<TDBVerify *>(c);
                other && other != this && other->LookupEdit() == edit) {
                MessageDlg(QStringLiteral("The LookupEdit belongs to ") + other->objectName(),
                           TMsgDlgType::Warning, QMessageBox::Ok);
                return;
            }
    m_lookupEdit = edit;
    if (edit) {
        SetupLookupEdit();
        PositionLookupEdit();
    }
}

void TDBVerify::SetupLookupEdit()
{
    if (!m_lookupEdit || !AutoAdjust)
        return;
    if (m_lookupEdit->font() != ControlFont())
        m_lookupEdit->setFont(ControlFont());
    m_lookupEdit->clear();
    m_lookupEdit->resize(m_lookupEdit->width(), 21);
    int length = 10;
    if (m_lookupDataSet)
        if (const TFieldDef *d = m_lookupDataSet->FindField(m_lookupDisplay); d && d->Size > 0)
            length = qMin(d->Size, 40);
    m_lookupEdit->setParent(parentWidget());
    SetLookupLength(length);
    m_lookupEdit->setReadOnly(true);
    m_lookupEdit->setFocusPolicy(Qt::NoFocus);
    QPalette p = m_lookupEdit->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    m_lookupEdit->setPalette(p);
    m_lookupEdit->show();
}

void TDBVerify::SetLookupLength(int length)
{
    m_lookupLength = length;
    if (!m_lookupEdit)
        return;
    int w = (m_lookupEdit->font().pointSize() - 1) * (length + 1) + 3;
    if (QWidget *p = parentWidget(); p && m_lookupEdit->x() + w > p->width())
        w = p->width() - m_lookupEdit->x() - 8;
    m_lookupEdit->resize(qMax(w, 8), m_lookupEdit->height());
}

void TDBVerify::SetLookupAlignment(TLookupAlignment alignment)
{
    m_lookupAlignment = alignment;
    PositionLookupEdit();
}

void TDBVerify::PositionLookupEdit()
{
    if (!m_lookupEdit || !AutoAdjust)
        return;
    if (m_lookupAlignment == lkBottom)
        m_lookupEdit->move(x(), y() + height() + 3);
    else
        m_lookupEdit->move(x() + width() + 8, y());
}

void TDBVerify::AdjustLabels()
{
    TVerify::AdjustLabels();
    PositionLookupEdit();
    if (m_memo)
        m_memo->move(x(), y());
}

int TDBVerify::TotalHeight() const
{
    if (m_memo)
        return m_memo->height()
            + (TitleLabel() && LabelAlignment() == laTop ? TitleLabel()->height() : 0);
    int h = TVerify::TotalHeight();
    if (m_lookupEdit && m_lookupAlignment == lkBottom)
        h += m_lookupEdit->height();
    return h;
}

int TDBVerify::TotalWidth() const
{
    if (m_memo)
        return m_memo->width();
    int w = TVerify::TotalWidth();
    if (m_lookupEdit && m_lookupAlignment == lkRight)
        w += m_lookupEdit->width();
    return w;
}

void TDBVerify::Validate()
{
    TVerify::Validate();
    if (!ErrorPending() && !m_lookupField.isEmpty())
        DoLookup();
}

void TDBVerify::Reset()
{
    TVerify::Reset();
    if (m_lookupEdit)
        m_lookupEdit->clear();
}

void TDBVerify::DoLookup()
{
    const QString value = ControlText();
    if (value.isEmpty() || !m_lookupDataSet || m_lookupField.isEmpty())
        return;
    if (!m_lookup)
        m_lookup = std::make_unique<TLookupQuery>(
            m_lookupDataSet->Session(), m_lookupDataSet->DatabaseName, m_lookupDataSet->TableName,
            m_lookupField, m_lookupDisplay);
    QVariant display;
    if (!m_lookup->FindText(value, TextFormat(), &display)) {
        if (FocusWidget()->isEnabled())
            ReportError(QStringLiteral("MsgFind"));
        return;
    }
    // Unchanged text is not set again: setting it lays the edit's text out anew.
    if (m_lookupEdit && !m_lookupDisplay.isEmpty() && m_lookupEdit->text() != display.toString())
        m_lookupEdit->setText(display.toString());
}

void TDBVerify::LoadFromField()
{
    if (!m_dataSource || !m_dataSource->DataSet || m_dataField.isEmpty())
        return;
    const QVariant v = m_dataSource->DataSet->Value(m_field.Index);
    QString text = IsBinaryField(m_field.DataType)
        ? QString()
        : FieldValueToText(v, m_field.DataType, TextFormat());
    SetControlText(text);
    if (!text.isEmpty())
        FormatText();
    m_loadedText = ControlText();
    if (!m_lookupField.isEmpty())
        DoLookup();
}

void TDBVerify::SaveToField()
{
    if (!m_dataSource || !m_dataSource->DataSet || m_dataField.isEmpty())
        return;
    TQuery &q = *m_dataSource->DataSet;
    const bool inserting = q.State() == TDataSetState::Insert;
    const TFieldWrite w = FieldWriteFor(m_field, inserting ? QString() : m_loadedText,
                                        ControlText(), q.Value(m_field.Index), TextFormat());
    if (!w.Ok)
        throw EDatabaseError(QStringLiteral("%1: %2").arg(
            Caption(), ErrorMessageText(DefaultErrorMessages(), QStringLiteral("MsgType"))));
    if (w.Write)
        q.SetValue(m_field.Index, w.Value);
}
