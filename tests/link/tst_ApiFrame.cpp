#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/ApiFrame.h"

#include <QtTest>

using ModuleBytes::bytes;
using ModuleBytes::receiveFrame;

namespace {

constexpr qint64 sourceAddress = 0x0102030405060708LL;

// 7E 00 0E 90 01..08 FF FE 01 23 91 checksum: one receive frame carrying CalibReady.
QByteArray calibReadyFrame(int checksumDelta = 0)
{
    const QByteArray data = bytes({0x90, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xFE, 0x01, 0x23, 0x91});
    quint8 sum = 0;
    for (char c : data)
        sum = quint8(sum + quint8(c));
    return bytes({0x7E, 0x00, 0x0E}) + data + char(quint8(0xFF - sum + checksumDelta));
}

// Feeds the chunks in order and returns the payloads of all frames extracted.
QList<QByteArray> payloadsOf(ApiFrameParser &parser, const QList<QByteArray> &chunks)
{
    QList<QByteArray> payloads;
    for (const QByteArray &chunk : chunks) {
        parser.feed(chunk);
        while (parser.hasFrame())
            payloads.append(parser.takeFrame().payload);
    }
    return payloads;
}

QList<QByteArray> payloadsOf(const QByteArray &stream)
{
    ApiFrameParser parser;
    return payloadsOf(parser, {stream});
}

} // namespace

class TestApiFrame : public QObject
{
    Q_OBJECT

private slots:
    void receiveFrameIsDecoded();
    void wrongChecksumYieldsNothing();
    void frameSplitAtEveryPosition();
    void escapedBytesAreData();
    void framesAreDeliveredInOrder();
    void otherFramesAreDropped_data();
    void otherFramesAreDropped();
    void damagedFrameDoesNotHideTheNextOne_data();
    void damagedFrameDoesNotHideTheNextOne();
    void escapedDelimiterStartsFrameWhileHunting();
    void bufferHoldsOnlyTheFrameBeingRead();
    void takeFrameOnEmptyQueue();
    void framesAreBuiltByteExact();
    void bigEndianForms();
};

void TestApiFrame::receiveFrameIsDecoded()
{
    ApiFrameParser parser;
    parser.feed(calibReadyFrame());
    QVERIFY(parser.hasFrame());
    const ApiFrame frame = parser.takeFrame();
    QCOMPARE(frame.sourceAddress, sourceAddress);
    QCOMPARE(frame.payload, bytes({0x23, 0x91}));
    QCOMPARE(frame.frameData, calibReadyFrame().mid(3, 14));
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

void TestApiFrame::frameSplitAtEveryPosition()
{
    // Escapes in the address, the payload, the length and the checksum, so that some splits
    // fall between an escape byte and the byte it escapes.
    const QByteArray payload = bytes({0x23, 0x9D, 0x7E, 0x7D, 0x11, 0x13, 0x00});
    const QByteArray frame = receiveFrame(0x7E7D11137E7D1113LL, payload);
    for (int split = 1; split < frame.size(); ++split) {
        ApiFrameParser parser;
        parser.feed(frame.left(split));
        QVERIFY2(!parser.hasFrame(), qPrintable(QString::number(split)));
        parser.feed(frame.mid(split));
        QVERIFY2(parser.hasFrame(), qPrintable(QString::number(split)));
        const ApiFrame decoded = parser.takeFrame();
        QCOMPARE(decoded.sourceAddress, 0x7E7D11137E7D1113LL);
        QCOMPARE(decoded.payload, payload);
    }
}

void TestApiFrame::escapedBytesAreData()
{
    // A payload whose bytes all need escaping: 7E inside the frame is 7D 5E, never a delimiter,
    // and the checksum covers the unescaped bytes.
    const QByteArray payload = bytes({0x7E, 0x7E, 0x7D, 0x11, 0x13});
    const QByteArray frame = receiveFrame(sourceAddress, payload);
    QVERIFY(frame.mid(1).indexOf(char(0x7E)) < 0);
    QVERIFY(frame.contains(bytes({0x7D, 0x5E, 0x7D, 0x5E, 0x7D, 0x5D, 0x7D, 0x31, 0x7D, 0x33})));
    QCOMPARE(payloadsOf(frame), QList<QByteArray>{payload});
}

void TestApiFrame::framesAreDeliveredInOrder()
{
    const QByteArray stream = QByteArray("noise") + receiveFrame(1, "a") + receiveFrame(2, "b")
                              + QByteArray("\x01\x02") + receiveFrame(3, "c");
    ApiFrameParser parser;
    parser.feed(stream);
    QList<qint64> sources;
    while (parser.hasFrame())
        sources.append(parser.takeFrame().sourceAddress);
    QCOMPARE(sources, (QList<qint64>{1, 2, 3}));
}

void TestApiFrame::otherFramesAreDropped_data()
{
    QTest::addColumn<QByteArray>("dropped");
    QTest::newRow("transmit status 0x8B") << wrapApiFrame(bytes({0x8B, 0, 0xFF, 0xFE, 0, 0, 0}));
    QTest::newRow("remote AT response 0x97")
        << wrapApiFrame(bytes({0x97, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xFE, 'D', 'L', 0, 0x23}));
    QTest::newRow("receive frame without radio data")
        << wrapApiFrame(bytes({0x90, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xFE, 0x01}));
}

void TestApiFrame::otherFramesAreDropped()
{
    QFETCH(QByteArray, dropped);
    QCOMPARE(payloadsOf(dropped + receiveFrame(9, "ok")), QList<QByteArray>{"ok"});
}

void TestApiFrame::damagedFrameDoesNotHideTheNextOne_data()
{
    const QByteArray good = receiveFrame(9, "ok");
    QTest::addColumn<QByteArray>("damaged");
    QTest::newRow("bad checksum") << calibReadyFrame(1);
    QTest::newRow("declared length 0") << bytes({0x7E, 0x00, 0x00, 0x90, 0x6F});
    QTest::newRow("declared length 0x8000") << bytes({0x7E, 0x80, 0x00, 0x90, 0x6F});
    QTest::newRow("declared length 0xFFFF") << bytes({0x7E, 0xFF, 0xFF, 0x90, 0x6F});
    QTest::newRow("length too short") << bytes({0x7E, 0x00, 0x02}) + good.mid(3);
    QTest::newRow("truncated") << good.left(good.size() - 4);
    QTest::newRow("only a delimiter") << bytes({0x7E});
    QTest::newRow("stray escape before delimiter") << bytes({0x7E, 0x00, 0x7D});
    QTest::newRow("escaped length") << bytes({0x7E, 0x7D, 0x31, 0x00});
}

void TestApiFrame::damagedFrameDoesNotHideTheNextOne()
{
    // A damaged frame is dropped; the intact frame behind it in the same delivery comes out.
    QFETCH(QByteArray, damaged);
    const QByteArray good = receiveFrame(9, "ok");
    QCOMPARE(payloadsOf(damaged + good + good), (QList<QByteArray>{"ok", "ok"}));
}

void TestApiFrame::escapedDelimiterStartsFrameWhileHunting()
{
    const QByteArray good = receiveFrame(9, "ok");
    QCOMPARE(payloadsOf(bytes({0x7D, 0x5E}) + good.mid(1)), QList<QByteArray>{"ok"});
}

void TestApiFrame::bufferHoldsOnlyTheFrameBeingRead()
{
    ApiFrameParser parser;
    parser.feed(QByteArray(1000, 'x'));
    QCOMPARE(parser.bufferedByteCount(), 0);

    const QByteArray frame = calibReadyFrame();
    parser.feed(frame.left(3 + 5)); // delimiter, length, five data bytes
    QCOMPARE(parser.bufferedByteCount(), 5);
    parser.feed(frame.mid(8));
    QCOMPARE(parser.bufferedByteCount(), 0);
    QVERIFY(parser.hasFrame());

    parser.feed(bytes({0x7E, 0x7F, 0xFF}) + QByteArray(20000, 'x'));
    QCOMPARE(parser.bufferedByteCount(), 20000);
    parser.feed(bytes({0x7E}));
    QCOMPARE(parser.bufferedByteCount(), 0);
}

void TestApiFrame::takeFrameOnEmptyQueue()
{
    ApiFrameParser parser;
    const ApiFrame frame = parser.takeFrame();
    QVERIFY(frame.frameData.isEmpty());
    QVERIFY(frame.payload.isEmpty());
    QCOMPARE(frame.sourceAddress, qint64(0));
}

void TestApiFrame::framesAreBuiltByteExact()
{
    QCOMPARE(wrapApiFrame(QByteArray()), bytes({0x7E, 0x00, 0x00, 0xFF}));
    // Checksum 0x7E is escaped like the data.
    QCOMPARE(wrapApiFrame(bytes({0x81})), bytes({0x7E, 0x00, 0x01, 0x81, 0x7D, 0x5E}));
    QCOMPARE(escapeApiBytes(bytes({0x7E, 0x7D, 0x11, 0x13, 0x12, 0x5E})),
             bytes({0x7D, 0x5E, 0x7D, 0x5D, 0x7D, 0x31, 0x7D, 0x33, 0x12, 0x5E}));

    constexpr qint64 destination = 0x0013A20040A1B27ELL;
    QCOMPARE(buildTransmitRequest(destination, bytes({0x23, 0x91})),
             bytes({0x7E, 0x00, 0x10, 0x10, 0x00, 0x00, 0x7D, 0x33, 0xA2, 0x00, 0x40, 0xA1, 0xB2,
                    0x7D, 0x5E, 0xFF, 0xFE, 0x00, 0x00, 0x23, 0x91, 0x78}));
    // Length 0x13 is escaped too.
    QCOMPARE(buildRemoteAtCommand(destination, bytes({'D', 'L', 0x11, 0x00, 0x7D, 0x13})),
             bytes({0x7E, 0x00, 0x7D, 0x33, 0x17, 0x00, 0x00, 0x7D, 0x33, 0xA2, 0x00, 0x40, 0xA1,
                    0xB2, 0x7D, 0x5E, 0xFF, 0xFE, 0x02, 0x44, 0x4C, 0x7D, 0x31, 0x00, 0x7D, 0x5D,
                    0x7D, 0x33, 0xF2}));
}

void TestApiFrame::bigEndianForms()
{
    QCOMPARE(bigEndianBytes64(0x0102030405060708LL), bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    QCOMPARE(bigEndianBytes64(-2), bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}));
    QCOMPARE(bigEndianBytes32(0xA1B2C3D4u), bytes({0xA1, 0xB2, 0xC3, 0xD4}));

    // A built frame parses back with the same source address, also for the top bit set.
    const QByteArray frame = receiveFrame(qint64(0x8000000000000001ULL), "x");
    ApiFrameParser parser;
    parser.feed(frame);
    QCOMPARE(parser.takeFrame().sourceAddress, qint64(0x8000000000000001ULL));
}

VENTROLLA_TEST_MAIN(TestApiFrame)
#include "tst_ApiFrame.moc"
