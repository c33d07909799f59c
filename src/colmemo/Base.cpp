#include "Base.h"

#include "SharedRoutines.h"
#include "SqlRules.h"

#include <QKeyEvent>
#include <QPainter>

TfrmBase::TfrmBase(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("frmBase"));
    resize(544, 375);

    memSQL = new TColorMemo(this);
    memSQL->setObjectName(QStringLiteral("memSQL"));
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    memSQL->setFont(font);
    memSQL->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QChar(' ')) * 8);
    memSQL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memSQL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memSQL->setTabChangesFocus(false);
    AddSqlColorRules(memSQL->ColorRules());
    memSQL->OnDrawKey
        = [this](QPainter &canvas, const QString &key, const QRectF &rect, const QColor &color) {
              memSQLDrawKey(canvas, key, rect, color);
          };
    memSQL->setPlainText(QStringLiteral("memSQL"));
    memSQL->installEventFilter(this);
    setCentralWidget(memSQL);
}

QStringList TfrmBase::AliasTableNames(const QString &DatabaseName)
{
    return ::AliasTableNames(DatabaseName);
}

QString TfrmBase::Commas(const QString &Text)
{
    return ::Commas(Text);
}

QString TfrmBase::TypeName(TFieldType DataType, int Size, bool VarcharOption) const
{
    return ::TypeName(DataType, Size, VarcharOption);
}

void TfrmBase::memSQLDrawKey(QPainter &Canvas, const QString &PKey, const QRectF &Rect,
                             const QColor &)
{
    QFont bold = Canvas.font();
    bold.setBold(true);
    Canvas.setFont(bold);
    Canvas.fillRect(Rect, Canvas.background());
    Canvas.drawText(QPointF(Rect.left(), Rect.top() + Canvas.fontMetrics().ascent()), PKey);
    bold.setBold(false);
    Canvas.setFont(bold);
}

void TfrmBase::memSQLKeyPress(QObject *, QChar &Key)
{
    if (Key != QChar('\r'))
        return;
    TMemoCursor cursor = memSQL->textCursor();
    // With a selection, Enter replaces it as usual.
    if (cursor.hasSelection())
        return;
    const int line = memSQL->CaretLine();
    const int col = memSQL->CaretCol();
    const QString text = memSQL->document()->findBlockByNumber(line).text();
    if (text.isEmpty() || col < text.size())
        return;
    qsizetype n = 0;
    while (n < text.size() && (text[n] == QChar('\t') || text[n] == QChar(' ')))
        ++n;
    cursor.beginEditBlock();
    cursor.insertBlock();
    cursor.insertText(text.left(n));
    cursor.endEditBlock();
    memSQL->setTextCursor(cursor);
    Key = QChar();
}

bool TfrmBase::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Watched == memSQL && Event->type() == QEvent::KeyPress) {
        auto *e = static_cast<QKeyEvent *>(Event);
        const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
        const bool command
            = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        const QString text = enter ? QStringLiteral("\r") : e->text();
        if (text.size() == 1 && !command) {
            QChar key = text[0];
            memSQLKeyPress(memSQL, key);
            if (key.isNull())
                return true;
            if (key != text[0]) {
                memSQL->insertPlainText(QString(key));
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(Watched, Event);
}
