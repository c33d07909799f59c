#pragma once

#include "Verify.h"

#include <memory>

#include "DataSource.h"
#include <QPlainTextEdit>
class TLookupQuery;
class TTable;

// A verify control bound to one field of a dataset: the field gives its type, size, caption
// and required flag; a lookup checks the value against another table and shows a value of
// the row it finds in a read-only lookup edit.
class TDBVerify : public TVerify
{
    Q_OBJECT
public:
    explicit TDBVerify(QWidget *parent = nullptr);
    ~TDBVerify() override;

    int KeyIndex() const { return m_keyIndex; }
    void SetKeyIndex(int index);
    TDataSource *DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource *source) { m_dataSource = source; }
    const QString &DataField() const { return m_dataField; }
    void SetDataField(const QString &name); // throws EDatabaseError for an unknown field
    const std::shared_ptr<TTable> &LookupDataSet() const { return m_lookupDataSet; }
    void SetLookupDataSet(std::shared_ptr<TTable> table);
    const QString &LookupField() const { return m_lookupField; }
    void SetLookupField(const QString &field);
    const QString &LookupDisplay() const { return m_lookupDisplay; }
    void SetLookupDisplay(const QString &field);
    int LookupLength() const { return m_lookupLength; }
    void SetLookupLength(int length);
    TLookupAlignment LookupAlignment() const { return m_lookupAlignment; }
    void SetLookupAlignment(TLookupAlignment alignment);
    QLineEdit *LookupEdit() const { return m_lookupEdit; }
    void SetLookupEdit(QLineEdit *edit);
    QPlainTextEdit *MemoEdit() const { return m_memo; }

    void SetSize(int size) override;
    void SetEditType(TFieldType type) override;

    void AdjustLabels() override;
    void Validate() override;
    void Reset() override;
    int TotalHeight() const override;
    int TotalWidth() const override;
    QString ControlText() const override;
    void SetControlText(const QString &text) override;
    QWidget *FocusWidget() override;

    void DoLookup();
    // The area's reading and writing of the field.
    void LoadFromField();
    void SaveToField();

private:
    void SetupLookupEdit();
    void PositionLookupEdit();
    void MakeMemoEdit();

    int m_keyIndex = -1;
    QPointer<TDataSource> m_dataSource;
    QString m_dataField, m_lookupField, m_lookupDisplay, m_loadedText;
    TField m_field;
    std::shared_ptr<TTable> m_lookupDataSet;
    std::unique_ptr<TLookupQuery> m_lookup;
    int m_lookupLength = 0;
    TLookupAlignment m_lookupAlignment = lkRight;
    QPointer<QLineEdit> m_lookupEdit;
    QPointer<QPlainTextEdit> m_memo;
};
