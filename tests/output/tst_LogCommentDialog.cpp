// The comment dialog shows the log's comment again at each change of the log's state.

#include "TestSupport.h"

#include "core/Model.h"
#include "output/LogCommentDialog.h"
#include "output/LogFile.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestLogCommentDialog : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void followsTheLog()
    {
        Model model(0, 0, false, false, false, false);
        LogFile log(&model);
        LogCommentDialog dialog(&log);
        QVERIFY(!dialog.isRepeating());

        log.setComment(QStringLiteral("gusty,\tlow cloud"), true);
        QCOMPARE(dialog.commentText(), QString()); // setting a comment announces nothing
        log.setPaused(true);
        QCOMPARE(dialog.commentText(), QStringLiteral("gusty  low cloud"));
        QVERIFY(dialog.isRepeating());

        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("ClearButton")),
                          Qt::LeftButton);
        QCOMPARE(dialog.commentText(), QString());
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("Comment")),
                         QStringLiteral("launch"));
        QCOMPARE(dialog.commentText(), QStringLiteral("launch"));

        log.stop(); // clears the log's comment, and the dialog follows
        QCOMPARE(dialog.commentText(), QString());
        QVERIFY(!dialog.isRepeating());
    }
};

VENTROLLA_GUI_TEST_MAIN(TestLogCommentDialog)
#include "tst_LogCommentDialog.moc"
