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
        QCOMPARE(parser.takeFrame().sourceAddress, qint64(0)); // none left
        // Every other checksum is wrong.
        for (int sum = 0; sum < 256; ++sum) {
            parser.feed(frame.chopped(1) + char(sum));
            QCOMPARE(parser.hasFrame(), sum == 0x99);
            parser.takeFrame();
        }
        // Frames of other types, without radio data or with a length of 0 or from 0x8000 are
        // dropped, without hiding the frame behind them.
        for (const QByteArray &dropped : {wrapApiFrame(bytes({0x8B, 0, 0xFF, 0xFE, 0, 0, 0})),
                                          wrapApiFrame(data.left(12)), bytes({0x7E, 0x00, 0x00, 0x90}),
                                          bytes({0x7E, 0x80, 0x00, 0x90})})
            QCOMPARE(payloadsOf(dropped + frame), QList<QByteArray>{bytes({0x23, 0x91})});
        // While hunting, an escaped delimiter starts a frame too.
        QCOMPARE(payloadsOf(bytes({0x7D, 0x5E}) + frame.mid(1)), QList<QByteArray>{bytes({0x23, 0x91})});
        // Escapes in the address, the payload, the length and the checksum; the top bit set.
        const QByteArray payload = bytes({0x23, 0x9D, 0x7E, 0x7D, 0x11, 0x13, 0x00});
        parser.feed(receiveFrame(qint64(0xFE7D11137E7D1113ULL), payload));
        QCOMPARE(parser.takeFrame().sourceAddress, qint64(0xFE7D11137E7D1113ULL));
        QCOMPARE(payloadsOf(receiveFrame(1, payload)), QList<QByteArray>{payload});
    }

    void framesAreBuiltByteExact()
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
};

VENTROLLA_TEST_MAIN(TestApiFrame)
#include "tst_ApiFrame.moc"
