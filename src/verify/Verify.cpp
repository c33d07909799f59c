#include "Verify.h"
#include "MessageDlg.h"
#include "VerifyArea.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpression>

QFont TVerify::ControlFont()
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    return f;
}

QWidget *OwningForm(QWidget *control)
{
    return control ? control->window() : nullptr;
}

void SetComponentName(QObject *component, const QString &name)
{
    static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9_]"));
    QString n = name;
    n.remove(other);
    if (!n.isEmpty())
        component->setObjectName(n);
}

TVerify::TVerify(QWidget *parent)
    : QLineEdit(parent)
{
    // An area's controls take the control font from the area; others set it themselves.
    if (font() != ControlFont())
        setFont(ControlFont());
    resize(width(), 21);
    FindArea();
}

TVerify::~TVerify()
{
    if (m_area)
        m_area->Unregister(this);
}

void TVerify::FindArea()
{
    TCustomArea *area = TCustomArea::Of(parentWidget());
    if (area == m_area)
        return;
    if (m_area)
        m_area->Unregister(this);
    m_area = area;
    if (m_area)
        m_area->Register(this);
}

void TVerify::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ParentChange)
        FindArea();
    QLineEdit::changeEvent(event);
}

TTextFormat TVerify::TextFormat() const
{
    return VerifyTextFormat(m_editType, m_picture, QLocale());
}

bool TVerify::LoadValue(const QString &text)
{
    return Value.Load(text, m_editType, TextFormat());
}

int TVerify::CompareValue(const QString &bound) const
{
    return Value.Compare(bound, m_editType, TextFormat());
}

void TVerify::SetMax(const QString &value)
{
    if (value == m_max)
        return;
    const bool ok = LoadValue(value) && (m_min.isEmpty() || CompareValue(m_min) >= 0);
    m_max = ok ? value : QString();
}

void TVerify::SetMin(const QString &value)
{
    if (value == m_min)
        return;
    const bool ok = LoadValue(value) && !(!m_max.isEmpty() && CompareValue(m_max) > 0);
    m_min = ok ? value : QString();
}

void TVerify::SetDefaultValue(const QString &value)
{
    if (value == m_defaultValue)
        return;
    if (value.isEmpty() || m_editType == ftUnknown) {
        m_defaultValue = value;
        return;
    }
    const bool ok = LoadValue(value) && (m_max.isEmpty() || CompareValue(m_max) <= 0)
        && (m_min.isEmpty() || CompareValue(m_min) >= 0);
    m_defaultValue = ok ? value : QString();
}

void TVerify::SetLabelAlignment(TLabelAlignment alignment)
{
    m_labelAlignment = alignment;
    if (m_titleLabel)
        PositionLabel();
}

void TVerify::SetupTitleLabel()
{
    m_titleLabel->setBuddy(this);
    if (m_titleLabel->parentWidget() != parentWidget())
        m_titleLabel->setParent(parentWidget());
    if (m_titleLabel->font() != ControlFont())
        m_titleLabel->setFont(ControlFont());
    m_titleLabel->show();
}

void TVerify::RefreshLabel()
{
    if (m_titleLabel) {
        const QString text = WithColon(m_labelText);
        m_titleLabel->setText(text);
        // A one-line label's own size hint lays its text out, several times over; a form of
        // hundreds of fields needs only the width of the characters shown.
        QString shown;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == u'&' && i + 1 < text.size())
                ++i;
            shown += text[i];
        }
        const QFontMetrics metrics(m_titleLabel->font());
        const QMargins margins = m_titleLabel->contentsMargins();
        m_titleLabel->resize(metrics.horizontalAdvance(shown) + 1 + margins.left()
                                 + margins.right(),
                             metrics.height() + margins.top() + margins.bottom());
    }
}

void TVerify::SetCaption(const QString &caption)
{
    if (caption.isEmpty()) {
        m_caption.clear();
        m_hotKey = QChar();
        m_labelText.clear();
        delete m_titleLabel;
        return;
    }
    if (!m_titleLabel) {
        // A child of the control's parent, like every label there; the control only refers
        // to it.
        m_titleLabel = new QLabel(parentWidget() ? parentWidget() : OwningForm(this));
        SetComponentName(m_titleLabel, QStringLiteral("lbl") + objectName());
        SetupTitleLabel();
    }
    const TCaption c = ParseCaption(caption);
    m_caption = c.Text;
    m_labelText = m_caption;
    if (!m_caption.isEmpty())
        SetHotKey(m_caption[c.HotKeyPos]);
    RefreshLabel();
    PositionLabel();
}

void TVerify::SetHotKey(QChar key)
{
    if (!key.isNull()) {
        if (!m_labelText.contains(key) || (m_area && m_area->HotKeyInUse(this, key.toUpper())))
            return;
    }
    m_hotKey = key;
    m_labelText = LabelWithHotKey(m_labelText, key);
    RefreshLabel();
}

void TVerify::SetTitleLabel(QLabel *label)
{
    if (label == m_titleLabel)
        return;
    if (label && m_area)
        for (TVerify *other : m_area->Controls)
            if (other != this && other->TitleLabel() == label) {
                MessageDlg(QStringLiteral("The TitleLabel belongs to ") + other->objectName(),
                           TMsgDlgType::Warning, QMessageBox::Ok);
                return;
            }
    m_titleLabel = label;
    if (!label)
        return;
    SetupTitleLabel();
    if (!m_labelText.isEmpty() && !m_labelText.contains(u'&') && !m_hotKey.isNull())
        m_labelText = LabelWithHotKey(m_labelText, m_hotKey);
    RefreshLabel();
    PositionLabel();
}

void TVerify::SetNextPos(TNextPos pos)
{
    if (pos == m_nextPos)
        return;
    m_nextPos = pos;
    if (pos != npNone && m_area && m_area->LayOut() == loCustom)
        m_area->Arrange();
}

void TVerify::SetTabOrder(int order)
{
    m_tabOrder = order;
    if (m_area)
        m_area->Sort();
}

void TVerify::SetSize(int size)
{
    m_size = size;
    AdjustWidth();
}

void TVerify::SetEditType(TFieldType type)
{
    if (type == m_editType)
        return;
    m_editType = type;
    if (type == ftString)
        m_picture.clear();
    else if (m_picture.isEmpty())
        m_picture = DefaultPicture(type);
    AdjustWidth();
}

void TVerify::AdjustWidth()
{
    if (!AutoAdjust)
        return;
    clear();
    if (const int max = MaxLengthForType(m_editType, m_size); max > 0)
        setMaxLength(max);
    int w = WidthForType(m_editType, m_size, font().pointSize(), width());
    if (m_area && x() + w > m_area->width())
        w = m_area->width() - x() - 8;
    resize(w, height());
}

void TVerify::SetEnabled(bool enabled)
{
    setEnabled(enabled);
    if (m_titleLabel)
        m_titleLabel->setEnabled(enabled);
    QPalette p = palette();
    p.setColor(QPalette::Base,
               QApplication::palette().color(enabled ? QPalette::Base : QPalette::Button));
    setPalette(p);
}

void TVerify::SetBounds(int left, int top, int width, int height)
{
    setGeometry(left, top, width, height);
    AdjustLabels();
}

void TVerify::moveEvent(QMoveEvent *event)
{
    QLineEdit::moveEvent(event);
    AdjustLabels();
}

void TVerify::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    AdjustLabels();
}

void TVerify::PositionLabel()
{
    if (!AutoAdjust || !m_titleLabel)
        return;
    if (m_labelAlignment == laTop)
        m_titleLabel->move(x(), y() - height() + 3);
    else
        m_titleLabel->move(x() - m_titleLabel->width() - 8, y());
}

void TVerify::AdjustLabels()
{
    PositionLabel();
}

int TVerify::TotalHeight() const
{
    return height() + (m_titleLabel && m_labelAlignment == laTop ? m_titleLabel->height() : 0);
}

int TVerify::TotalWidth() const
{
    return width() + (m_titleLabel && m_labelAlignment == laLeft ? m_titleLabel->width() : 0);
}

void TVerify::FormatText()
{
    const QString formatted = FormatVerifyText(ControlText(), m_editType, m_picture, m_size,
                                               m_required, QLocale(), QDate::currentDate());
    if (formatted != ControlText())
        SetControlText(formatted);
}

void TVerify::ReportError(const QString &key)
{
    if (!m_area)
        return;
    m_area->Error.ErrorFocus = FocusWidget();
    m_area->Error.Show(key);
}

bool TVerify::ErrorPending() const
{
    return m_area && !m_area->Error.Message.isEmpty();
}

void TVerify::Validate()
{
    const QString before = ControlText();
    QString text = before;
    const TTextFormat format = TextFormat();
    const QString key = ValidateText(&text, m_editType, m_required, m_min, m_max, format);
    if (text != before)
        SetControlText(text);
    if (!key.isEmpty()) {
        // Without an area there is nobody to report to; the control then passes.
        ReportError(key);
        return;
    }
    Value.Load(text, m_editType, format);
    if (OnValidate)
        OnValidate(this);
}

void TVerify::Reset()
{
    SetControlText(m_defaultValue);
}

void TVerify::keyPressEvent(QKeyEvent *event)
{
    if ((m_editType == ftFloat || m_editType == ftCurrency)
        && event->text() == QLatin1String(".")) {
        const QString decimal = QLocale().decimalPoint();
        if (decimal != QLatin1String(".")) {
            QKeyEvent replaced(event->type(), 0, event->modifiers(), decimal);
            QLineEdit::keyPressEvent(&replaced);
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void TVerify::focusInEvent(QFocusEvent *event)
{
    m_entered = true;
    QLineEdit::focusInEvent(event);
}

void TVerify::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // Only the user moving on within the window leaves the control; a message box or
    // another window taking the focus does not.
    const bool entered = std::exchange(m_entered, false);
    if (entered && event->reason() != Qt::ActiveWindowFocusReason
        && event->reason() != Qt::PopupFocusReason)
        DoExit();
}

void TVerify::DoExit()
{
    if (!isEnabled() || !m_area || m_area->SkipExitCheck(this))
        return;
    FormatText();
    if (m_area->Error.ErrorFocus == FocusWidget())
        m_area->Error.Show(QString());
    Validate();
}
