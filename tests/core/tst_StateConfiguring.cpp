// The configuration of the base station's radio: the test plays the radio on the far side of a
// pseudo-terminal and moves the model's clock by hand.

#include "ModelHarness.h"
#include "TestSupport.h"

#include "link/State_Configuring.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QByteArray goodAnswers = "OK\rOK\rOK\rOK\r12AB00\r40B1C2D3\rOK\rOK\r";

} // namespace

class TestStateConfiguring : public SettingsTestCase
{
    Q_OBJECT

private:
    // Sends "+++" at the given rate's first tick after a second of silence; nothing before.
    void expectGuardSequenceAfter(ModelRig &rig, qint64 rateStart)
    {
        rig.tick(rateStart + 1000);
        QCOMPARE(rig.model().serialPort()->bytesToWrite(), 0);
        rig.tick(rateStart + 1001);
        QCOMPARE(rig.takeBytes(3), QByteArray("+++"));
    }

    int progress(ModelRig &rig)
    {
        return rig.model().states().configuring->configurationProgress();
    }

private slots:
    void radioAt57600IsConfiguredAndStoresItsAddress()
    {
        ModelRig rig;
        QVERIFY(rig.open());
        QCOMPARE(rig.stateName(), QStringLiteral("Configuring"));
        QCOMPARE(rig.pty().slaveBaudRate(), 57600);
        QVERIFY(!rig.model().isBaseStationReady());

        rig.tick(0);
        QCOMPARE(rig.model().configurationProgress(), 0);
        rig.tick(310);
        QCOMPARE(rig.model().configurationProgress(), 10);
        expectGuardSequenceAfter(rig, 0);

        QVERIFY(rig.deliver("OK\r"));
        rig.tick(1200);
        QCOMPARE(rig.takeBytes(State_Configuring::script.size()),
                 QByteArray("ATRE\rATAP2\rATRR 0xF\rATBD6\rATSH\rATSL\rATWR\rATCN\r"));
        QCOMPARE(rig.model().configurationProgress(), 38);

        // Half the answers are not enough yet.
        QVERIFY(rig.deliver(goodAnswers.left(12)));
        rig.tick(2000);
        QVERIFY(rig.model().isConfiguring());

        QSignalSpy status(&rig.model(), &Model::statusChanged);
        QVERIFY(rig.deliver(goodAnswers.mid(12)));
        rig.tick(2900);
        QCOMPARE(rig.stateName(), QStringLiteral("Acquiring"));
        QVERIFY(!rig.model().isPendingStateSet());
        QVERIFY(rig.model().isBaseStationReady());
        QVERIFY(status.count() >= 1);
        QCOMPARE(progress(rig), 100);
        QCOMPARE(rig.model().baseStationAddressHigh(), quint32(0x12AB00));
        QCOMPARE(rig.model().baseStationAddressLow(), quint32(0x40B1C2D3));
        QCOMPARE(rig.pty().slaveBaudRate(), 57600);
        QVERIFY(rig.model().serialPort()->isOpen());
    }

    void bytesBeforeTheGuardSequenceAreForgotten()
    {
        ModelRig rig;
        QVERIFY(rig.open());
        // A module's frame is no frame here, and an early "OK" answers nothing.
        QVERIFY(rig.deliverFrom(0x0013A20040000001, Radio::hello('P', "TX0001")));
        QVERIFY(rig.deliver("OK\r"));
        rig.tick(500);
        QCOMPARE(rig.model().newModuleList().count(), 0);
        QCOMPARE(rig.model().serialPort()->bytesToWrite(), 0);

        expectGuardSequenceAfter(rig, 0);
        rig.tick(1100);
        QCOMPARE(rig.model().serialPort()->bytesToWrite(), 0);
        QVERIFY(rig.deliver("OK\r"));
        rig.tick(1150);
        QCOMPARE(rig.takeBytes(State_Configuring::script.size()), State_Configuring::script);
    }

    void radioAt9600IsFoundOnTheSecondRate()
    {
        ModelRig rig;
        QVERIFY(rig.open());
        expectGuardSequenceAfter(rig, 0);

        rig.tick(3000);
        QCOMPARE(rig.pty().slaveBaudRate(), 57600);
        QCOMPARE(progress(rig), 96);
        rig.tick(3001);
        QCOMPARE(rig.pty().slaveBaudRate(), 9600);
        // Progress starts again with the new rate.
        rig.tick(3001);
        QCOMPARE(progress(rig), 0);
        rig.tick(3001 + 620);
        QCOMPARE(progress(rig), 20);

        expectGuardSequenceAfter(rig, 3001);
        QVERIFY(rig.deliver("OK\r"));
        rig.tick(4100);
        QCOMPARE(rig.takeBytes(State_Configuring::script.size()), State_Configuring::script);
        QVERIFY(rig.deliver(goodAnswers));
        rig.tick(4200);
        QCOMPARE(rig.stateName(), QStringLiteral("Acquiring"));
        QCOMPARE(rig.pty().slaveBaudRate(), 57600);
    }

    void silentRadioFailsAfterThreeRates()
    {
        ModelRig rig;
        QVERIFY(rig.open());
        QSignalSpy status(&rig.model(), &Model::statusChanged);

        expectGuardSequenceAfter(rig, 0);
        rig.tick(3001);
        QCOMPARE(rig.pty().slaveBaudRate(), 9600);
        expectGuardSequenceAfter(rig, 3001);
        rig.tick(6001);
        QCOMPARE(rig.pty().slaveBaudRate(), 9600);
        rig.tick(6002);
        QCOMPARE(rig.pty().slaveBaudRate(), 115200);
        expectGuardSequenceAfter(rig, 6002);

        rig.tick(9002);
        rig.tick(9002);
        QVERIFY(rig.model().isConfiguring());
        rig.tick(9003);
        rig.tick(9010);
        QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
        QVERIFY(!rig.model().isBaseStationReady());
        QCOMPARE(progress(rig), 0);
        // Every tick told the status bar, and so did the failure.
        QVERIFY(status.count() >= 10);
        // The port stays open until a new name is given.
        QVERIFY(rig.model().serialPort()->isOpen());
        QVERIFY(rig.model().canOpenPort());
        QCOMPARE(rig.model().serialPort()->bytesToWrite(), 0);
        QVERIFY(rig.pty().received().isEmpty());
    }

    void answersAreChecked_data()
    {
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<quint32>("high");
        QTest::addColumn<quint32>("low");

        QTest::newRow("good") << goodAnswers << true << 0x12AB00u << 0x40B1C2D3u;
        QTest::newRow("low half from 80000000")
            << QByteArray("OK\rOK\rOK\rOK\r13A200\r80000000\rOK\rOK\r") << true << 0x13A200u
            << 0x80000000u;
        QTest::newRow("both halves at the top, lower case")
            << QByteArray("OK\rOK\rOK\rOK\rffffffff\rFFFFFFFF\rOK\rOK\r") << true
            << 0xFFFFFFFFu << 0xFFFFFFFFu;
        QTest::newRow("error in place of the fourth OK")
            << QByteArray("OK\rOK\rOK\rERROR\r12AB00\r40B1C2D3\rOK\rOK\r") << false << 0u << 0u;
        QTest::newRow("error in place of the last OK")
            << QByteArray("OK\rOK\rOK\rOK\r12AB00\r40B1C2D3\rOK\rERROR\r") << false << 0u << 0u;
        QTest::newRow("high half not hexadecimal")
            << QByteArray("OK\rOK\rOK\rOK\r12AG00\r40B1C2D3\rOK\rOK\r") << false << 0u << 0u;
        QTest::newRow("low half wider than 32 bits")
            << QByteArray("OK\rOK\rOK\rOK\r12AB00\r100000000\rOK\rOK\r") << false << 0u << 0u;
        QTest::newRow("empty address")
            << QByteArray("OK\rOK\rOK\rOK\r\r40B1C2D3\rOK\rOK\r") << false << 0u << 0u;
        QTest::newRow("one answer missing")
            << QByteArray("OK\rOK\rOK\rOK\r12AB00\r40B1C2D3\rOK\r") << false << 0u << 0u;
        QTest::newRow("one answer too many")
            << QByteArray("OK\rOK\rOK\rOK\r12AB00\r40B1C2D3\rOK\rOK\rOK\r") << false << 0u << 0u;
        QTest::newRow("last answer not ended")
            << QByteArray("OK\rOK\rOK\rOK\r12AB00\r40B1C2D3\rOK\rOK") << false << 0u << 0u;
    }

    void answersAreChecked()
    {
        QFETCH(QByteArray, answers);
        QFETCH(bool, succeeds);

        ModelRig rig;
        QVERIFY(rig.open());
        expectGuardSequenceAfter(rig, 0);
        QVERIFY(rig.deliver("OK\r"));
        rig.tick(1200);
        QCOMPARE(rig.takeBytes(State_Configuring::script.size()), State_Configuring::script);
        QVERIFY(rig.deliver(answers));

        rig.tick(3100);
        rig.tick(3100);
        if (succeeds) {
            QFETCH(quint32, high);
            QFETCH(quint32, low);
            QCOMPARE(rig.stateName(), QStringLiteral("Acquiring"));
            QCOMPARE(rig.model().baseStationAddressHigh(), high);
            QCOMPARE(rig.model().baseStationAddressLow(), low);
            return;
        }
        // Still waiting at 3100 ms; the first tick after it fails.
        QVERIFY(rig.model().isConfiguring());
        QCOMPARE(progress(rig), 100);
        rig.tick(3101);
        rig.tick(3120);
        QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
        QVERIFY(rig.model().serialPort()->isOpen());
        QCOMPARE(rig.pty().slaveBaudRate(), 57600);
        QCOMPARE(rig.model().serialPort()->bytesToWrite(), 0);
        QVERIFY(rig.pty().received().isEmpty());
    }

    void failedConfigurationCanBeRetriedOnAFreshPort()
    {
        ModelRig rig;
        QVERIFY(rig.open());
        for (const qint64 at : {1001, 3001, 4002, 6002, 7003, 9003, 9020})
            rig.tick(at);
        QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));

        // Choosing the port again closes it; opening it starts a new configuration at 57600.
        QVERIFY(rig.model().setPortName(rig.pty().slavePath()));
        QVERIFY(!rig.model().serialPort()->isOpen());
        QVERIFY(rig.model().openPort());
        rig.model().timers().fast.stop();
        QCOMPARE(rig.pty().slaveBaudRate(), 57600);
        rig.pty().clearReceived();
        QVERIFY(rig.configure());
        QCOMPARE(rig.stateName(), QStringLiteral("Acquiring"));
    }
};

VENTROLLA_TEST_MAIN(TestStateConfiguring)
#include "tst_StateConfiguring.moc"
