#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/ApiFrame.h"

#include <QtTest>

using ModuleBytes::bytes;
using ModuleBytes::receiveFrame;

namespace {

QList<QByteArray> payloadsOf(const QByteArray &stream)
{
    ApiFrameParser parser;
    parser.feed(stream);
    QList<QByteArray> payloads;
    while (parser.hasFrame())
        payloads.append(parser.takeFrame().payload);
    return payloads;
}

} // namespace

class TestApiFrame : public QObject
{
    Q_OBJECT

private slots:
    void receiveFrameIsDecoded()
    {
        // 7E 00 0E 90 01..08 FF FE 01 23 91 checksum: one receive frame carrying CalibReady.
        const QByteArray data = bytes({0x90, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xFE, 0x01, 0x23, 0x91});
        const QByteArray frame = bytes({0x7E, 0x00, 0x0E}) + data + char(0x99);
        ApiFrameParser parser;
        parser.feed(frame);
        const ApiFrame decoded = parser.takeFrame();
        QCOMPARE(decoded.sourceAddress, 0x0102030405060708LL);
        QCOMPARE(decoded.payload, bytes({0x23, 0x91}));
        QCOMPARE(decoded.frameData, data);
        QVERIFY(!parser.hasFrame());
        QCOMPARE(parser.takeFrame().sourceAddress, qint64(0));
        // Every other checksum is wrong.
        for (int sum = 0; sum < 256; ++sum) {
            parser.feed(frame.chopped(1) + char(sum));
            QCOMPARE(parser.hasFrame(), sum == 0x99);
            parser.takeFrame();
        }
        // While hunting, an escaped delimiter starts a frame too.
        QCOMPARE(payloadsOf(bytes({0x7D, 0x5E}) + frame.mid(1)), QList<QByteArray>{bytes({0x23, 0x91})});
    }

    void frameSplitAtEveryPosition()
    {
        // Escapes in the address, the payload, the length and the checksum, so that some splits
        // fall between an escape byte and the byte it escapes; the top bit of the address set.
        const QByteArray payload = bytes({0x23, 0x9D, 0x7E, 0x7D, 0x11, 0x13, 0x00});
        const qint64 source = qint64(0xFE7D11137E7D1113ULL);
        const QByteArray frame = receiveFrame(source, payload);
        for (int split = 1; split < frame.size(); ++split) {
            ApiFrameParser parser;
            parser.feed(frame.left(split));
            QVERIFY2(!parser.hasFrame(), qPrintable(QString::number(split)));
            parser.feed(frame.mid(split));
            const ApiFrame decoded = parser.takeFrame();
            QCOMPARE(decoded.sourceAddress, source);
            QCOMPARE(decoded.payload, payload);
        }
    }

    void droppedFramesDoNotHideTheNextOne_data()
    {
        const QByteArray good = receiveFrame(9, "ok");
        QTest::addColumn<QByteArray>("dropped");
        QTest::newRow("transmit status 0x8B") << wrapApiFrame(bytes({0x8B, 0, 0xFF, 0xFE, 0, 0, 0}));
        QTest::newRow("remote AT response 0x97")
            << wrapApiFrame(bytes({0x97, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xFE, 'D', 'L', 0, 0x23}));
        QTest::newRow("receive frame without radio data")
            << wrapApiFrame(bytes({0x90, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xFE, 0x01}));
        QTest::newRow("bad checksum") << good.chopped(1) + char(good.back() + 1);
        QTest::newRow("declared length 0") << bytes({0x7E, 0x00, 0x00, 0x90, 0x6F});
        QTest::newRow("declared length 0x8000") << bytes({0x7E, 0x80, 0x00, 0x90, 0x6F});
        QTest::newRow("declared length 0xFFFF") << bytes({0x7E, 0xFF, 0xFF, 0x90, 0x6F});
        QTest::newRow("length too short") << bytes({0x7E, 0x00, 0x02}) + good.mid(3);
        QTest::newRow("truncated") << good.left(good.size() - 4);
        QTest::newRow("only a delimiter") << bytes({0x7E});
        QTest::newRow("stray escape before delimiter") << bytes({0x7E, 0x00, 0x7D});
        QTest::newRow("escaped length") << bytes({0x7E, 0x7D, 0x31, 0x00});
        QTest::newRow("noise") << QByteArray("noise\x01\x02");
    }

    // Whatever comes before them, intact frames in the same delivery come out, in order.
    void droppedFramesDoNotHideTheNextOne()
    {
        QFETCH(QByteArray, dropped);
        QCOMPARE(payloadsOf(dropped + receiveFrame(9, "a") + receiveFrame(9, "b")),
                 (QList<QByteArray>{"a", "b"}));
    }

    void framesAreBuiltByteExact()
    {
        QCOMPARE(wrapApiFrame(QByteArray()), bytes({0x7E, 0x00, 0x00, 0xFF}));
        // Checksum 0x7E is escaped like the data.
        QCOMPARE(wrapApiFrame(bytes({0x81})), bytes({0x7E, 0x00, 0x01, 0x81, 0x7D, 0x5E}));
        QCOMPARE(escapeApiBytes(bytes({0x7E, 0x7D, 0x11, 0x13, 0x12, 0x5E})),
                 bytes({0x7D, 0x5E, 0x7D, 0x5D, 0x7D, 0x31, 0x7D, 0x33, 0x12, 0x5E}));
        QCOMPARE(bigEndianBytes64(-2), bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}));
        QCOMPARE(bigEndianBytes32(0xA1B2C3D4u), bytes({0xA1, 0xB2, 0xC3, 0xD4}));

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
};

VENTROLLA_TEST_MAIN(TestApiFrame)
#include "tst_ApiFrame.moc"
