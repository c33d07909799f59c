// A free value confirmed while the settings file cannot keep its history: the value is used,
// the error is shown, nothing ends the program.
#include "AskParam.h"
#include "IniFile.h"
#include "MessageDlg.h"
#include "ModalAnswers.h"
#include "Param.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class TestParamErrors : public QObject
{
    Q_OBJECT
private slots:
    void confirmedFreeValueIsUsedWhenItsHistoryCannotBeWritten()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Orvane.ini");
        QVERIFY(QDir().mkpath(path + "/inside")); // a folder where the settings file belongs
        TIniFile ini(path);
        QStringList shown;
        const TMessageHandler previous = SetMessageDlgHandler(
            [&](const QString &text, TMsgDlgType, QMessageBox::StandardButtons) {
                shown << text;
                return QMessageBox::Ok;
            });
        TModalAnswers answers;
        answers.Add([](QWidget *w) {
            auto *d = qobject_cast<TfrmParam *>(w);
            QVERIFY(d);
            d->cmbParam->setEditText("42");
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        QString value;
        const bool confirmed
            = AskParamValue({nullptr, &ini, nullptr, "DBOrvane", {}}, "", "Amount", value);
        SetMessageDlgHandler(previous);
        QVERIFY(confirmed);
        QCOMPARE(value, QString("42"));
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].contains("Orvane.ini"));
        QCOMPARE(answers.Seen(), 1);
    }
};

QTEST_MAIN(TestParamErrors)
#include "test_param_errors.moc"
