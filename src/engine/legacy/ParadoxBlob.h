#pragma once

#include <QByteArray>
#include <QString>

// A memo, blob or graphic field of a Paradox record, read from the table's memo file
// (".mb") held in memory. *present is false for an empty field. Throws EDatabaseError
// naming the table when the memo file does not hold what the field points at.
QByteArray ReadParadoxBlob(const QByteArray &memoFile, const char *field, int width, bool graphic,
                           bool *present, const QString &table);
