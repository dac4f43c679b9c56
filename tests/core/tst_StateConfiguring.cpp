// The configuration of the base station's radio: the test plays the radio on the far side of a
// pseudo-terminal and moves the model's clock by hand.

#include "ModelHarness.h"
#include "TestSupport.h"

#include "link/State_Configuring.h"

#include <QtTest>

namespace {

const QByteArray goodAnswers = "OK\rOK\rOK\rOK\r12AB00\r40B1C2D3\rOK\rOK\r";

} // namespace

class TestStateConfiguring : public SettingsTestCase
{
    Q_OBJECT

private:
    int progress(ModelRig &rig) { return rig.model().states().configuring->configurationProgress(); }

private slots:
    void rateSearch_data()
    {
        QTest::addColumn<int>("answering"); // index of the rate the radio answers at
        QTest::newRow("57600") << 0;
        QTest::newRow("9600") << 1;
        QTest::newRow("115200") << 2;
        QTest::newRow("silent") << 3;
    }

    // At each rate: "+++" after a second of silence, three seconds for the answer, then the
    // next rate; the radio is left at 57600 (ATBD6) whatever rate it answered at.
    void rateSearch()
    {
        QFETCH(int, answering);
        ModelRig rig;
        QVERIFY(rig.open());
        const int rates[] = {57600, 9600, 115200};
        qint64 start = 0;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(rig.pty().slaveBaudRate(), rates[i]);
            rig.tick(start + 620);
            QCOMPARE(progress(rig), 20);
            rig.tick(start + 1000);
            QCOMPARE(rig.model().serialPort()->bytesToWrite(), 0);
            rig.tick(start + 1001);
            QCOMPARE(rig.takeBytes(3), QByteArray("+++"));
            if (i == answering) {
                QVERIFY(rig.deliver("OK\r"));
                rig.tick(start + 1100);
                QCOMPARE(rig.takeBytes(State_Configuring::script),
                         QByteArray("ATRE\rATAP2\rATRR 0xF\rATBD6\rATSH\rATSL\rATWR\rATCN\r"));
                QVERIFY(rig.deliver(goodAnswers));
                rig.tick(start + 1200);
                QCOMPARE(rig.stateName(), QStringLiteral("Acquiring"));
                QCOMPARE(progress(rig), 100);
                QCOMPARE(rig.pty().slaveBaudRate(), 57600);
                return;
            }
            rig.tick(start + 3000);
            QCOMPARE(rig.pty().slaveBaudRate(), rates[i]);
            rig.tick(start + 3001);
            start += 3001;
        }
        QVERIFY(rig.model().isConfiguring());
        rig.tick(start + 10);
        QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
        QCOMPARE(progress(rig), 0);
        QVERIFY(rig.pty().received().isEmpty());
        // The port stays open until it is chosen again, which closes it; opening it then starts
        // a new configuration at 57600.
        QVERIFY(rig.model().serialPort()->isOpen());
        QVERIFY(rig.model().setPortName(rig.pty().slavePath()));
        QVERIFY(!rig.model().serialPort()->isOpen());
        QVERIFY(rig.model().openPort());
        QCOMPARE(rig.pty().slaveBaudRate(), 57600);
        QVERIFY(rig.configure());
    }

    void answersAreChecked_data()
    {
        QTest::addColumn<QString>("answers"); // '|' for each carriage return
        QTest::addColumn<quint32>("high");    // 0: the configuration fails
        QTest::addColumn<quint32>("low");
        QTest::newRow("good") << "OK|OK|OK|OK|12AB00|40B1C2D3|OK|OK|" << 0x12AB00u << 0x40B1C2D3u;
        QTest::newRow("low half from 80000000") << "OK|OK|OK|OK|13A200|80000000|OK|OK|" << 0x13A200u << 0x80000000u;
        QTest::newRow("top, lower case") << "OK|OK|OK|OK|ffffffff|FFFFFFFF|OK|OK|" << 0xFFFFFFFFu << 0xFFFFFFFFu;
        QTest::newRow("error for the fourth OK") << "OK|OK|OK|ERROR|12AB00|40B1C2D3|OK|OK|" << 0u << 0u;
        QTest::newRow("error for the last OK") << "OK|OK|OK|OK|12AB00|40B1C2D3|OK|ERROR|" << 0u << 0u;
        QTest::newRow("high half not hexadecimal") << "OK|OK|OK|OK|12AG00|40B1C2D3|OK|OK|" << 0u << 0u;
        QTest::newRow("low half wider than 32 bits") << "OK|OK|OK|OK|12AB00|100000000|OK|OK|" << 0u << 0u;
        QTest::newRow("empty address") << "OK|OK|OK|OK||40B1C2D3|OK|OK|" << 0u << 0u;
        QTest::newRow("one answer missing") << "OK|OK|OK|OK|12AB00|40B1C2D3|OK|" << 0u << 0u;
        QTest::newRow("one answer too many") << "OK|OK|OK|OK|12AB00|40B1C2D3|OK|OK|OK|" << 0u << 0u;
        QTest::newRow("last answer not ended") << "OK|OK|OK|OK|12AB00|40B1C2D3|OK|OK" << 0u << 0u;
    }

    void answersAreChecked()
    {
        QFETCH(QString, answers);
        const QByteArray reply = answers.toLatin1().replace('|', '\r');
        QFETCH(quint32, high);
        QFETCH(quint32, low);
        ModelRig rig;
        QVERIFY(rig.open());
        // Before the guard sequence a module's frame is no frame, and an "OK" answers nothing.
        QVERIFY(rig.deliverFrom(0x0013A20040000001, ModuleBytes::hello('P', "TX0001") + "OK\r"));
        rig.tick(1001);
        QCOMPARE(rig.takeBytes(3), QByteArray("+++"));
        rig.tick(1100);
        QVERIFY(rig.wroteNothing());
        QVERIFY(rig.deliver("OK\r"));
        rig.tick(1200);
        QCOMPARE(rig.takeBytes(State_Configuring::script), State_Configuring::script);
        QCOMPARE(rig.model().newModuleList().count(), 0);

        // Half the answers are not enough yet.
        QVERIFY(rig.deliver(reply.left(12)));
        rig.tick(2000);
        QVERIFY(rig.model().isConfiguring());
        QVERIFY(rig.deliver(reply.mid(12)));
        rig.tick(3100);
        rig.tick(3100);
        if (high) {
            QCOMPARE(rig.stateName(), QStringLiteral("Acquiring"));
            QCOMPARE(rig.model().baseStationAddressHigh(), high);
            QCOMPARE(rig.model().baseStationAddressLow(), low);
            return;
        }
        // Still waiting at 3100 ms; the first tick after it fails.
        QVERIFY(rig.model().isConfiguring());
        rig.tick(3101);
        rig.tick(3120);
        QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
        QCOMPARE(rig.pty().slaveBaudRate(), 57600);
        QVERIFY(rig.wroteNothing());
    }
};

VENTROLLA_TEST_MAIN(TestStateConfiguring)
#include "tst_StateConfiguring.moc"
