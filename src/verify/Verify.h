#pragma once

#include "VerifyLogic.h"

#include <QLineEdit>
#include <QPointer>
#include <functional>

#include <QLabel>
class TCustomArea;

// A one-line edit that knows the type of its value: it formats the text when left,
// validates it (required, type, range, an event of the application) and keeps a title
// label with a hot key. On an area it reports errors through the area's error object.
class TVerify : public QLineEdit
{
    Q_OBJECT
public:
    explicit TVerify(QWidget *parent = nullptr);
    ~TVerify() override;

    bool Required() const { return m_required; }
    void SetRequired(bool required) { m_required = required; }
    const QString &DefaultValue() const { return m_defaultValue; }
    void SetDefaultValue(const QString &value);
    const QString &Max() const { return m_max; }
    void SetMax(const QString &value);
    const QString &Min() const { return m_min; }
    void SetMin(const QString &value);
    TLabelAlignment LabelAlignment() const { return m_labelAlignment; }
    void SetLabelAlignment(TLabelAlignment alignment);
    const QString &Caption() const { return m_caption; }
    void SetCaption(const QString &caption);
    const QString &Picture() const { return m_picture; }
    void SetPicture(const QString &picture) { m_picture = picture; }
    int Size() const { return m_size; }
    virtual void SetSize(int size);
    QChar HotKey() const { return m_hotKey; }
    void SetHotKey(QChar key);
    TFieldType EditType() const { return m_editType; }
    virtual void SetEditType(TFieldType type);
    TNextPos NextPos() const { return m_nextPos; }
    void SetNextPos(TNextPos pos);
    QLabel *TitleLabel() const { return m_titleLabel; }
    void SetTitleLabel(QLabel *label);
    int TabOrder() const { return m_tabOrder; }
    void SetTabOrder(int order);
    bool AutoAdjust = true;
    std::function<void(TVerify *)> OnValidate;

    TCustomArea *Area() const { return m_area; }
    const QString &LabelText() const { return m_labelText; }
    TVerifyValue Value; // filled by LoadValue

    void SetEnabled(bool enabled);
    // The control's place; its labels follow.
    void SetBounds(int left, int top, int width, int height);

    virtual void AdjustLabels();
    virtual void Validate();
    virtual void Reset();
    virtual int TotalHeight() const;
    virtual int TotalWidth() const;

    // The text the control holds (a multi-line companion's for memo fields).
    virtual QString ControlText() const { return text(); }
    virtual void SetControlText(const QString &text) { setText(text); }
    // The widget that takes the focus for this control.
    virtual QWidget *FocusWidget() { return this; }

    bool LoadValue(const QString &text);
    int CompareValue(const QString &bound) const;
    void FormatText();
    TTextFormat TextFormat() const;
    void PositionLabel();
    void AdjustWidth();

    static QFont ControlFont();

protected:
    void DoExit();
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void ReportError(const QString &key);
    bool ErrorPending() const;

    TCustomArea *m_area = nullptr;

private:
    friend class TCustomArea;
    void FindArea();
    void SetupTitleLabel();
    void RefreshLabel();

    bool m_required = false;
    QString m_defaultValue, m_max, m_min, m_caption, m_picture, m_labelText;
    TLabelAlignment m_labelAlignment = laTop;
    int m_size = 1;
    QChar m_hotKey;
    TFieldType m_editType = ftUnknown;
    TNextPos m_nextPos = npNone;
    QPointer<QLabel> m_titleLabel;
    int m_tabOrder = 0;
    bool m_entered = false;
};

// The form that holds a control: its window, or the first form up its parents.
QWidget *OwningForm(QWidget *control);
// Names a component, keeping letters, digits and "_" of the requested name.
void SetComponentName(QObject *component, const QString &name);
