#pragma once

#include "FieldTypes.h"
#include "TableJournal.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <vector>

// A column of a table file as its header declares it.
struct TFileColumn
{
    QString Name;
    TFieldType Type = ftUnknown;
    int Size = 0; // as TFieldDef: characters, bytes, or decimals for BCD
    int Width = 0; // the file's own field width
    int Decimals = 0;
    char Native = 0; // the file's own type code
    bool Required = false; // key fields are required in any case
};

// A row as the virtual tables hold it: text (also dates, "YYYY-MM-DD", times and
// timestamps), qlonglong, double, QByteArray, or a null QVariant.
using TRow = std::vector<QVariant>;
// Rows by their row id, in file order.
using TRows = std::map<qint64, TRow>;
// Files written beside a table, each with the file it is to replace.
using TFileMoves = QList<QPair<QString, QString>>;

// A row a transaction changed that keeps its place in the file.
struct TRowChange
{
    qint64 Place = 0; // as TTableFile::Places gives it
    const TRow *Old = nullptr;
    const TRow *New = nullptr;
};

// Renames each temporary file over its target; throws on the first failure.
void ReplaceFiles(const TFileMoves &tempAndTarget);

// One table file: its header is read when the object is made (after a journal left behind
// was played back); rows are read whole. Write makes complete new files beside the old ones
// and Commit renames them into place, so that a failure leaves the table as it was; rows that
// keep their places are rather written over their records by WriteInPlace.
class TTableFile
{
public:
    virtual ~TTableFile() = default;

    QString Name; // the table name: the file name without extension
    QString Path;
    std::vector<TFileColumn> Columns;
    int KeyFields = 0; // the first KeyFields columns are the primary key
    QString Damage; // why the file cannot be used; empty when its header is sound
    QList<TIndexDef> Indexes; // indexes besides the primary key

    virtual std::vector<TRow> Load() = 0; // throws EDatabaseError
    // Where each row of the last Load or Write lives in the file; empty when unknown.
    std::vector<qint64> Places;
    // Writes the changed rows over their records under write's journal and leaves the change
    // pending there; false, with nothing written, when the change needs a whole new file.
    // Throws EDatabaseError with the file as it was.
    virtual bool WriteInPlace(const std::vector<TRowChange> &, TInPlaceWrite &) { return false; }
    // Throws EDatabaseError, leaving no file behind.
    virtual TFileMoves Write(const std::vector<TRow> &rows) = 0;
    virtual void Commit(const TFileMoves &moves) { ReplaceFiles(moves); }
    void Save(const std::vector<TRow> &rows) { Commit(Write(rows)); }
    // Non-empty when the table refuses changes (the reason to show).
    virtual QString ReadOnlyReason() const { return {}; }
    // The files that hold the table's rows.
    virtual QStringList Files() const { return {Path}; }
    // Other files of the table (indexes, settings) that go with it when it is dropped.
    virtual QStringList Companions() const { return {}; }

    // Size and modification time of the table's files: a change means another
    // connection wrote the table and the rows must be read again.
    QString Stamp() const;
};

// What a folder of table files of one kind needs: opening, creating and the extension.
class TTableFormat
{
public:
    virtual ~TTableFormat() = default;
    virtual QString Extension() const = 0; // "db", "dbf"
    virtual QString KindName() const = 0; // "Paradox"
    // Never throws: a damaged file comes back with Damage set.
    virtual std::unique_ptr<TTableFile> Open(const QString &path) = 0;
    // Maps a column of CREATE TABLE to the file's own type; throws when it has none.
    virtual TFileColumn ColumnFor(const QString &name, const QString &declaration) = 0;
    virtual bool HasKeys() const = 0;
    // Writes a new empty table file; throws EDatabaseError.
    virtual void Create(const QString &path, const std::vector<TFileColumn> &columns, int keyFields)
        = 0;
};

// Checks and converts a value for a column; throws EDatabaseError naming the field.
QVariant CoerceValue(const TFileColumn &column, const QVariant &value);
// The files beside path with the same name and an extension that keep() accepts (given
// in lower case).
QStringList SiblingFiles(const QString &path, bool (*keep)(const QString &extension));
// A decimal number as text with exactly that many decimals ("1.5", 2 -> "1.50").
QString FixedDecimals(const QString &number, int decimals);
// A temporary file name beside path for a file about to replace it.
QString SiblingTempPath(const QString &path);
// Has write() write a table into a temporary file beside path (its name ending in
// tempSuffix) and, when sideTarget is set, its memo or blob file into another; returns the
// moves that put them in place. When writing fails, the temporary files are removed and
// the error passes on.
TFileMoves
WriteBeside(const QString &path, const QString &tempSuffix, const QString &sideTarget,
            const std::function<void(const QString &temp, const QString &sideTemp)> &write);
