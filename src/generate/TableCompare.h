#pragma once

// The ALTER TABLE statement that gives a target table the fields of a source table.

#include "TableScript.h"

#include <QList>
#include <QStringList>

struct TFieldChange
{
    enum class TKind { Drop, Add };
    TKind Kind = TKind::Drop;
    QString Name; // the target's name for a drop, the source's for an add
    TFieldDef Source; // the definition an add writes
    // A drop of a field that the next add writes again with another type or size: its data
    // goes with it.
    bool Retyped = false;
};

// Whether a field of the source differs from the target's field of the same name: another
// type, or the same type with another size.
bool FieldDiffers(const TFieldDef &source, const TFieldDef &target);

// The changes that make the target's fields the source's, fields matched by their names
// without regard to letter case: in the target's order, a drop of each field the source
// lacks and a drop and an add of each one that differs; then, in the source's order, an add
// of each field the target lacks. Field order alone is no change.
QList<TFieldChange> CompareFields(const QList<TFieldDef> &source, const QList<TFieldDef> &target);

// A change as the statement writes it: "DROP " + name or "ADD " + name + " " + type, the
// name quoted for the engine and the type as a CREATE script of the source would write it.
QString ChangeText(const TFieldChange &change, const TTableScriptOptions &options);

// "ALTER TABLE " + the target's name and one line per change after a tab, ending with ","
// and the last with ";"; before each drop of a retyped field a comment line warns that its
// data is dropped. Empty for no changes.
QStringList CompareLines(const QString &targetTable, const QList<TFieldChange> &changes,
                         const TTableScriptOptions &options);
