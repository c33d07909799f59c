// Copying cells and exporting rows of a result window.
#include "EngineError.h"
#include "MessageDlg.h"
#include "QueryResult.h"
#include "ResultExport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QSaveFile>
#include <QTableView>

bool Tform_QueryResult::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == dbgResult && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        popEdtCopyClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Tform_QueryResult::popEdtCopyClick()
{
    const QModelIndexList cells = dbgResult->selectionModel()->selectedIndexes();
    if (cells.isEmpty())
        return;
    int top = cells[0].row(), bottom = top, left = cells[0].column(), right = left;
    for (const QModelIndex &cell : cells) {
        top = std::min(top, cell.row());
        bottom = std::max(bottom, cell.row());
        left = std::min(left, cell.column());
        right = std::max(right, cell.column());
    }
    QStringList header;
    for (int column = left; column <= right; ++column)
        header << qryResult.Fields()[size_t(column)].FieldName;
    QList<QVariantList> rows;
    try {
        // The values themselves, not the grid's texts, which cut long ones.
        for (int row = top; row <= bottom; ++row) {
            QVariantList values;
            for (int column = left; column <= right; ++column)
                values << qryResult.ValueAt(row, column);
            rows << values;
        }
    } catch (const EDatabaseError &e) {
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
        return;
    }
    QApplication::clipboard()->setText(TsvText(header, rows));
}

void Tform_QueryResult::popEdtExportClick()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export"), windowTitle() + QStringLiteral(".csv"),
        QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!fileName.isEmpty())
        ExportTo(fileName);
}

bool Tform_QueryResult::ExportTo(const QString &fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        MessageDlg(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()),
                   TMsgDlgType::Error, QMessageBox::Ok);
        return false;
    }
    QProgressDialog progress(QStringLiteral("Exporting %1").arg(windowTitle()),
                             QStringLiteral("Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    bool done = false;
    try {
        done = ExportCsv(
            qryResult.Session(), qryResult.DatabaseName, qryResult.SQL, file, [&](qint64 rows) {
                progress.setLabelText(QStringLiteral("Exporting %1: %2 rows")
                                          .arg(windowTitle(), QLocale().toString(rows)));
                QCoreApplication::processEvents();
                return !progress.wasCanceled();
            });
    } catch (const EDatabaseError &e) {
        file.cancelWriting();
        MessageDlg(e.Message(), TMsgDlgType::Error, QMessageBox::Ok);
        return false;
    }
    if (!done) {
        file.cancelWriting();
        if (!progress.wasCanceled())
            MessageDlg(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()),
                       TMsgDlgType::Error, QMessageBox::Ok);
        return false;
    }
    if (!file.commit()) {
        MessageDlg(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()),
                   TMsgDlgType::Error, QMessageBox::Ok);
        return false;
    }
    return true;
}
