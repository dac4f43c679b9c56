#include "TestSupport.h"
#include "link/ApiFrame.h"

#include <QtTest>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// 7E 00 0E 90 01..08 FF FE 01 23 91 checksum: one receive frame carrying CalibReady.
QByteArray calibReadyFrame(int checksumDelta = 0)
{
    const QByteArray data = bytes({0x90, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xFE, 0x01, 0x23, 0x91});
    quint8 sum = 0;
    for (char c : data)
        sum = quint8(sum + quint8(c));
    return bytes({0x7E, 0x00, 0x0E}) + data + char(quint8(0xFF - sum + checksumDelta));
}

} // namespace

class TestApiFrame : public QObject
{
    Q_OBJECT

private slots:
    void receiveFrameIsDecoded();
    void wrongChecksumYieldsNothing();
};

void TestApiFrame::receiveFrameIsDecoded()
{
    ApiFrameParser parser;
    parser.feed(calibReadyFrame());
    QVERIFY(parser.hasFrame());
    const ApiFrame frame = parser.takeFrame();
    QCOMPARE(frame.sourceAddress, qint64(0x0102030405060708LL));
    QCOMPARE(frame.payload, bytes({0x23, 0x91}));
    QVERIFY(!parser.hasFrame());
}

void TestApiFrame::wrongChecksumYieldsNothing()
{
    for (int delta = 1; delta < 256; ++delta) {
        ApiFrameParser parser;
        parser.feed(calibReadyFrame(delta));
        QVERIFY2(!parser.hasFrame(), qPrintable(QString::number(delta)));
    }
}

VENTROLLA_TEST_MAIN(TestApiFrame)
#include "tst_ApiFrame.moc"
