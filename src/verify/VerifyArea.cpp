#include "VerifyArea.h"
#include "DBVerify.h"
#include "DataSource.h"
#include "MessageDlg.h"
#include "Verify.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <algorithm>

void TError::Show(const QString &key)
{
    Message = key;
    if (key.isEmpty())
        return;
    bool show = true;
    QPointer<QWidget> focus = ErrorFocus;
    if (BeforeError)
        BeforeError(this, focus, show);
    if (!show)
        return;
    QString text = ErrorMessageText(Messages, key);
    if (focus) {
        text = ControlCaption(focus) + QStringLiteral(": ") + text;
        if (focus->isEnabled() && focus->isVisible())
            focus->setFocus(Qt::OtherFocusReason);
    }
    const QMessageBox::StandardButton button
        = MessageDlg(text, TMsgDlgType::Error, QMessageBox::Ok | QMessageBox::Cancel);
    if (AfterError)
        AfterError(this, button);
}

QString ControlCaption(QWidget *control)
{
    QString text;
    if (auto *label = qobject_cast<QLabel *>(control))
        text = label->text();
    else if (auto *box = qobject_cast<QGroupBox *>(control))
        text = box->title();
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        text = button->text();
    else if (TCustomArea *area = TCustomArea::Of(control->parentWidget())) {
        if (TVerify *v = area->FindControlFor(control))
            text = v->Caption();
        else if (auto *verify = qobject_cast<TVerify *>(control))
            text = verify->Caption();
    }
    return WithoutFirstAmpersand(text);
}

TCustomArea::TCustomArea(QWidget *parent)
    : QScrollArea(parent)
    , m_client(new QWidget)
{
    setFrameShape(QFrame::NoFrame);
    m_client->setObjectName(QStringLiteral("client"));
    m_client->setFont(TVerify::ControlFont());
    m_client->setProperty("orvaneArea", QVariant::fromValue(static_cast<QObject *>(this)));
    setWidget(m_client);
    resize(185, 105);
    m_client->resize(185, 105);
}

TCustomArea::~TCustomArea()
{
    // The controls go with the client; they need not unregister one by one.
    for (TVerify *c : std::as_const(Controls))
        disconnect(c, nullptr, this, nullptr);
    Controls.clear();
    delete takeWidget();
}

TCustomArea *TCustomArea::Of(QWidget *parent)
{
    if (!parent)
        return nullptr;
    if (auto *area = qobject_cast<TCustomArea *>(parent))
        return area;
    return qobject_cast<TCustomArea *>(parent->property("orvaneArea").value<QObject *>());
}

void TCustomArea::Register(TVerify *control)
{
    if (Controls.contains(control))
        return;
    // A new control comes last in tab order, as it does on a form.
    control->m_tabOrder = Controls.isEmpty() ? 0 : Controls.last()->TabOrder() + 1;
    Controls.append(control);
}

void TCustomArea::Unregister(TVerify *control)
{
    Controls.removeAll(control);
    if (Error.ErrorFocus == control)
        Error.ErrorFocus = nullptr;
}

void TCustomArea::ClearError()
{
    Error.ErrorFocus = nullptr;
    Error.Show(QString());
}

TVerify *TCustomArea::FindControlFor(QWidget *component) const
{
    for (TVerify *c : Controls) {
        if (c == component)
            return c;
        if (qobject_cast<QLabel *>(component) && c->TitleLabel() == component)
            return c;
        if (auto *db = qobject_cast<TDBVerify *>(c))
            if (component
                && (db->LookupEdit() == component
                    || static_cast<QWidget *>(db->MemoEdit()) == component))
                return c;
    }
    return nullptr;
}

void TCustomArea::FocusControl(int index)
{
    if (index < 0 || index >= Controls.size())
        return;
    QWidget *w = Controls[index]->FocusWidget();
    if (w->isEnabled() && w->focusPolicy() != Qt::NoFocus)
        w->setFocus(Qt::OtherFocusReason);
}

void TCustomArea::Sort()
{
    std::stable_sort(Controls.begin(), Controls.end(), [](TVerify *a, TVerify *b) {
        return qint16(a->TabOrder()) < qint16(b->TabOrder());
    });
    // The keyboard follows the list, each lookup edit after its control.
    QWidget *previous = nullptr;
    for (TVerify *c : std::as_const(Controls)) {
        QWidget *w = c->FocusWidget();
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

void TCustomArea::Arrange()
{
    std::vector<TLayoutItem> items;
    for (TVerify *c : std::as_const(Controls))
        items.push_back({c->y(), c->TotalHeight(), c->TotalWidth(), c->NextPos()});
    const auto places = ArrangePositions(items);
    for (qsizetype i = 0; i < Controls.size(); ++i)
        Controls[i]->SetBounds(places[i].first, places[i].second, Controls[i]->width(),
                               Controls[i]->height());
}

void TCustomArea::SetLayOut(TLayOut layout)
{
    m_layOut = layout;
    if (layout == loManual || Controls.size() < 2)
        return;
    Sort();
    std::vector<TLayoutItem> items;
    for (TVerify *c : std::as_const(Controls))
        items.push_back({c->y(), c->TotalHeight(), c->TotalWidth(), c->NextPos()});
    ComputeNextPos(layout, items, width(), height());
    for (qsizetype i = 0; i < Controls.size(); ++i)
        Controls[i]->SetNextPos(items[i].NextPos);
    Arrange();
    if (layout == loResize) {
        QRect box;
        for (QObject *o : m_client->children())
            if (auto *w = qobject_cast<QWidget *>(o); w && !w->isHidden())
                box |= w->geometry();
        m_client->resize(box.right() + 9, box.bottom() + 9);
        resize(m_client->size());
    }
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

int TCustomArea::FindDBControl(TDataSource *source, const QString &field) const
{
    for (qsizetype i = 0; i < Controls.size(); ++i)
        if (auto *db = qobject_cast<TDBVerify *>(Controls[i]))
            if (db->DataSource() == source && db->DataField() == field)
                return int(i);
    return -1;
}

bool TCustomArea::HotKeyInUse(const TVerify *control, QChar key) const
{
    const QChar upper = key.toUpper();
    if (m_reserved.contains(upper))
        return true;
    return std::any_of(Controls.begin(), Controls.end(), [&](const TVerify *c) {
        return c != control && !c->HotKey().isNull() && c->HotKey().toUpper() == upper;
    });
}

bool TCustomArea::SkipExitCheck(const TVerify *control) const
{
    QWidget *next = QApplication::focusWidget();
    if (!next || next == control)
        return false;
    if (qobject_cast<QAbstractButton *>(next)
        && next->property(ModalResultProperty).toInt() == mrCancel)
        return true;
    if (TVerify *other = FindControlFor(next))
        return other->TabOrder() < control->TabOrder();
    const QVariant order = next->property("TabOrder");
    return order.isValid() && order.toInt() < TabOrder;
}

void TCustomArea::LoadFromData()
{
    for (TVerify *c : std::as_const(Controls))
        if (auto *db = qobject_cast<TDBVerify *>(c))
            db->LoadFromField();
}

void TCustomArea::Reset()
{
    for (TVerify *c : std::as_const(Controls)) {
        auto *db = qobject_cast<TDBVerify *>(c);
        if (!db || db->KeyIndex() == -1)
            c->Reset();
    }
    ClearError();
}

void TCustomArea::EnableAll(bool enabled)
{
    for (TVerify *c : std::as_const(Controls))
        c->SetEnabled(enabled);
}

void TCustomArea::SaveToData()
{
    if (!Error.Message.isEmpty())
        return;
    for (TVerify *c : std::as_const(Controls))
        if (auto *db = qobject_cast<TDBVerify *>(c))
            db->SaveToField();
}

bool TCustomArea::Validate()
{
    ClearError();
    for (TVerify *c : std::as_const(Controls)) {
        c->Validate();
        if (!Error.Message.isEmpty())
            return false;
    }
    return true;
}

void TArea::SetLinkArea(TCustomArea *area)
{
    if (area == this)
        return;
    m_link = area;
    if (auto *linked = qobject_cast<TArea *>(area); linked && linked->LinkArea()) {
        MessageDlg(QStringLiteral("Circular Reference"), TMsgDlgType::Warning, QMessageBox::Ok);
        m_link = nullptr;
    }
}

void TArea::List()
{
    if (OnList)
        for (TVerify *c : QList<TVerify *>(Controls))
            OnList(c);
}

void TArea::LoadFromData()
{
    TCustomArea::LoadFromData();
    if (m_link)
        m_link->LoadFromData();
}

void TArea::Reset()
{
    TCustomArea::Reset();
    if (m_link)
        m_link->Reset();
}

void TArea::EnableAll(bool enabled)
{
    TCustomArea::EnableAll(enabled);
    if (m_link)
        m_link->EnableAll(enabled);
}

void TArea::SaveToData()
{
    TCustomArea::SaveToData();
    if (m_link)
        m_link->SaveToData();
}

bool TArea::Validate()
{
    if (!TCustomArea::Validate())
        return false;
    return m_link ? m_link->Validate() : true;
}

TAreaWizard::TAreaWizard(QWidget *owner)
    : QObject(owner)
    , m_owner(owner)
{}

void TAreaWizard::SetAutoCreate(bool on)
{
    m_autoCreate = on;
    if (m_autoCreate && m_dataSource)
        CreateControls();
}

void TAreaWizard::SetDataSource(TDataSource *source)
{
    m_dataSource = source;
    if (m_autoCreate && m_dataSource)
        CreateControls();
}

void TAreaWizard::SetArea(TArea *area)
{
    if (area == m_area)
        return;
    if (m_area)
        m_oldArea = m_area;
    m_area = area;
}

void TAreaWizard::CreateControls()
{
    if (!m_dataSource || !m_dataSource->DataSet)
        return;
    if (!m_area) {
        auto *area = new TArea(m_owner);
        SetComponentName(area, QStringLiteral("area") + m_dataSource->objectName());
        if (m_oldArea) {
            area->move(area->x(), m_oldArea->y() + 8);
            m_oldArea->SetLinkArea(area);
        }
        SetArea(area);
    }
    for (const TField &f : m_dataSource->DataSet->Fields()) {
        if (m_area->FindDBControl(m_dataSource, f.FieldName) >= 0)
            continue;
        auto *c = new TDBVerify(m_area->Client());
        c->SetDataSource(m_dataSource);
        c->SetDataField(f.FieldName);
    }
}
