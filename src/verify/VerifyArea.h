#pragma once

#include "VerifyLogic.h"

#include <QMessageBox>
#include <QPointer>
#include <QScrollArea>
#include <functional>

class QLabel;
#include "DataSource.h"
class TDBVerify;
class TVerify;

// The pending validation error of an area and how it is shown.
class TError
{
public:
    QString Message; // the pending error's key; empty when there is none
    QStringList Messages = DefaultErrorMessages();
    QPointer<QWidget> ErrorFocus;
    // May clear show (no message box) or change the control that gets the focus.
    std::function<void(TError *, QPointer<QWidget> &focus, bool &show)> BeforeError;
    std::function<void(TError *, QMessageBox::StandardButton)> AfterError;

    void Show(const QString &key);
};

// The caption of a control as a message shows it, without its hot key mark.
QString ControlCaption(QWidget *control);

// A scrolling container of verify controls: keeps them in tab order, lays them out,
// validates them, reads and writes their fields and reports their errors.
class TCustomArea : public QScrollArea
{
    Q_OBJECT
public:
    explicit TCustomArea(QWidget *parent = nullptr);
    ~TCustomArea() override;

    // The widget the controls are children of.
    QWidget *Client() const { return m_client; }
    static TCustomArea *Of(QWidget *parent);

    const QString &ReservedChars() const { return m_reserved; }
    void SetReservedChars(const QString &chars) { m_reserved = chars.toUpper(); }
    TLayOut LayOut() const { return m_layOut; }
    void SetLayOut(TLayOut layout);
    int TabOrder = 0;

    TError Error;
    QList<TVerify *> Controls;

    virtual void LoadFromData();
    virtual void Reset();
    virtual void EnableAll(bool enabled);
    virtual void SaveToData();
    virtual bool Validate();

    void ClearError();
    TVerify *FindControlFor(QWidget *component) const;
    void FocusControl(int index);
    void Sort();
    void Arrange();
    int FindDBControl(TDataSource *source, const QString &field) const;
    bool HotKeyInUse(const TVerify *control, QChar key) const;
    bool SkipExitCheck(const TVerify *control) const;

    void Register(TVerify *control);
    void Unregister(TVerify *control);

private:
    QWidget *m_client;
    QString m_reserved;
    TLayOut m_layOut = loManual;
};

class TArea : public TCustomArea
{
    Q_OBJECT
public:
    explicit TArea(QWidget *parent = nullptr)
        : TCustomArea(parent)
    {}
    TCustomArea *LinkArea() const { return m_link; }
    void SetLinkArea(TCustomArea *area);
    std::function<void(TVerify *)> OnList;
    void List();

    void LoadFromData() override;
    void Reset() override;
    void EnableAll(bool enabled) override;
    void SaveToData() override;
    bool Validate() override;

private:
    QPointer<TCustomArea> m_link;
};

// Builds an area with one data-bound control per field of a data source.
class TAreaWizard : public QObject
{
    Q_OBJECT
public:
    explicit TAreaWizard(QWidget *owner);

    bool AutoCreate() const { return m_autoCreate; }
    void SetAutoCreate(bool on);
    TDataSource *DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource *source);
    TArea *Area() const { return m_area; }
    void SetArea(TArea *area);
    TArea *OldArea() const { return m_oldArea; }
    virtual void CreateControls();

private:
    QWidget *m_owner;
    bool m_autoCreate = true;
    QPointer<TDataSource> m_dataSource;
    QPointer<TArea> m_area, m_oldArea;
};

// Properties a button can carry so that leaving a control towards it skips the check.
inline constexpr char ModalResultProperty[] = "ModalResult";
inline constexpr int mrCancel = 2;
