#pragma once

// The form both SQL-editing windows derive from: it owns the colour editor memSQL with the
// program's SQL colour rules, draws keywords bold and indents new lines.

#include "ColMemo.h"
#include "FieldTypes.h"

#include <QMainWindow>

class TfrmBase : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfrmBase(QWidget *parent = nullptr);

    // The SQL editor, the central widget until a derived form places it elsewhere.
    TColorMemo *memSQL = nullptr;

    // The sorted table names of the named database.
    virtual QStringList AliasTableNames(const QString &DatabaseName);
    // Reads the named table's structure into the form's current table.
    virtual void ReadStructure(const QString &TableName) = 0;
    // An index field list as SQL writes it: ID;NAME gives ID,NAME.
    virtual QString Commas(const QString &Text);
    // The SQL type written for a field.
    QString TypeName(TFieldType DataType, int Size, bool VarcharOption) const;

    // Handles a character typed into memSQL; setting Key to QChar() consumes it.
    virtual void memSQLKeyPress(QObject *Sender, QChar &Key);
    void memSQLDrawKey(QPainter &Canvas, const QString &PKey, const QRectF &Rect,
                       const QColor &KColor);

protected:
    bool eventFilter(QObject *Watched, QEvent *Event) override;
};
