#pragma once

// The main window's Compare command: asks for a target table and appends the ALTER TABLE
// statement that gives it the fields of the table selected when the command started.
//
// Tform_Main creates one after its subsystems: `new TCompareCommand(this);`

#include "FieldTypes.h"

#include <QObject>

class QTreeWidgetItem;
class Tform_Main;

class TCompareCommand : public QObject
{
    Q_OBJECT
public:
    explicit TCompareCommand(Tform_Main *main);

    void mnuEdtCompareClick();

    // The source of the last comparison, kept until the next one replaces it.
    const QList<TFieldDef> &SourceFieldDefs() const { return m_sourceFields; }
    const QString &SourcePath() const { return m_sourcePath; }

private:
    // Reads a table into the current table; false, with the engine's message shown, when
    // it cannot be read.
    bool Read(const QString &table);
    void Compare(QTreeWidgetItem *target);

    Tform_Main *m;
    QList<TFieldDef> m_sourceFields;
    QString m_sourcePath;
};
