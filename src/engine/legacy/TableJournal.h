#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// Bytes to be written at an offset of a file.
struct TFilePatch
{
    qint64 Offset = 0;
    QByteArray Bytes;
};

// Writes patches into a table file in place under a rollback journal beside it: the bytes
// they cover are saved in the journal and synced before the file is touched, and the
// journal goes once the change commits. A crash at any moment thus leaves either the old
// file or, with a journal that RecoverJournal plays back, the old file again; after Commit
// the new one. The journal is locked while its writer lives, so that nobody else plays it
// back under a transaction still going on.
class TInPlaceWrite
{
public:
    TInPlaceWrite() = default;
    TInPlaceWrite(const TInPlaceWrite &) = delete;
    TInPlaceWrite &operator=(const TInPlaceWrite &) = delete;
    ~TInPlaceWrite(); // rolls back what was written and not committed

    // Throws EDatabaseError, leaving the file as it was.
    void Write(const QString &path, const std::vector<TFilePatch> &patches);
    void Commit(); // removes the journal
    void Rollback(); // puts the saved bytes back; throws EDatabaseError when it cannot
    bool Pending() const { return m_journal >= 0; }

private:
    void Close();

    QString m_path;
    int m_table = -1; // locked while the change is pending
    int m_journal = -1;
};

// The journal file of a table file.
QString JournalPath(const QString &path);
// Plays back a journal a writer left behind (when its writer is gone), so that the file is
// as it was before that writer's transaction; a journal never completed is only removed,
// since its file was not touched yet. Returns why that failed, empty when the file is sound.
QString RecoverJournal(const QString &path);
