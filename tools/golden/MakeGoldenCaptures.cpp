// Writes the recorded byte streams of tests/data and the events they must produce.
//
//     ventrolla-golden <folder>
//
// Each capture is <name>.bin, the bytes as the base station sends them on the serial line, and
// <name>.txt, the expected result: the run settings, then for every delivery (one readyRead())
// its size in bytes followed by the module list's signals it raises, each with the state of the
// module that the signal announces. The expectations below are written out by hand from the
// message values next to them; they are not computed by the code they check.

#include "ModuleBytes.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

using namespace ModuleBytes;

namespace {

class Capture
{
public:
    Capture(const QString &name, int windUnits, int groundElevation) : name(name)
    {
        text << "# " << name << ".bin: expected module list signals per delivery\n"
             << "windUnits " << windUnits << "\n"
             << "groundElevation " << groundElevation << "\n";
    }

    Capture &send(const QByteArray &bytes)
    {
        delivery += bytes;
        return *this;
    }

    Capture &expect(const QString &event)
    {
        events << event;
        return *this;
    }

    // Ends the current delivery; the events expected so far belong to it.
    void deliver()
    {
        stream += delivery;
        text << "delivery " << delivery.size() << "\n";
        for (const QString &event : events)
            text << event << "\n";
        delivery.clear();
        events.clear();
    }

    void write(const QDir &folder)
    {
        if (!delivery.isEmpty() || !events.isEmpty())
            fail("undelivered bytes in " + name);
        QFile bin(folder.filePath(name + ".bin"));
        QFile txt(folder.filePath(name + ".txt"));
        if (!bin.open(QIODevice::WriteOnly) || !txt.open(QIODevice::WriteOnly | QIODevice::Text))
            fail("cannot write " + name);
        text.flush();
        bin.write(stream);
        txt.write(expected.toUtf8());
    }

    static void fail(const QString &why)
    {
        std::fprintf(stderr, "ventrolla-golden: %s\n", qPrintable(why));
        std::exit(1);
    }

private:
    QString name;
    QByteArray stream;
    QByteArray delivery;
    QStringList events;
    QString expected;
    QTextStream text{&expected};
};

// The frame with one byte changed, so that its checksum fails.
QByteArray damaged(QByteArray frame, int index)
{
    const auto special = [](char c) { return c == 0x7E || c == 0x7D; };
    const char changed = char(frame[index] ^ 0x01);
    if (index == 0 || special(frame[index]) || special(changed))
        Capture::fail("pick another byte to damage");
    frame[index] = changed;
    return frame;
}

DataFields fields(int pressure, int temperature, int humidity, int windDirection, int windSpeed,
                  int supply, int flags)
{
    DataFields d;
    d.pressure = pressure;
    d.temperature = temperature;
    d.humidity = humidity;
    d.windDirection = windDirection;
    d.windSpeed = windSpeed;
    d.supply = supply;
    d.flags = flags;
    return d;
}

// Three modules in knots with a ground elevation of 100 m: every message type, escapes on both
// layers, damaged frames, a frame split across deliveries and a message split across frames.
void threeModules(const QDir &folder)
{
    constexpr qint64 a = 0x0013A2004155AA01LL;
    constexpr qint64 b = 0x0013A200417E7D11LL; // address bytes that need escaping
    constexpr qint64 c = 0x0013A20041131313LL;
    Capture capture(QStringLiteral("three_modules"), 0, 100);

    DataFields a1 = fields(10132, 2953, 456, 270, 50, 1205, 0xFF);
    a1.hours = 7;
    a1.minutes = 5;
    a1.seconds = 9;
    a1.latitude = {4807, 2500, 'N'};
    a1.longitude = {1131, 0, 'W'};
    a1.altitude = 512;
    a1.course = 90;
    a1.groundSpeed = 123;
    // Pressure 0x2321 is '#' '!' inside the message; 0x7E, 0x13, 0x11, 0x7D need frame escapes.
    const DataFields b1 = fields(0x2321, 0x0B7E, 0x0213, 0x0111, 0x007D, 0x047D, 0x00);
    DataFields c1 = fields(9876, 2881, 612, 45, 33, 1187, 0x90);
    c1.hours = 13;
    c1.latitude = {3352, 4512, 'S'};

    capture.send(bytes({0x00, 0xFF, 0x13}))
        .send(receiveFrame(a, hello('P', "TX0001")))
        .expect("hello 0 kind=P direct=0 id=TX0001")
        .send(receiveFrame(b, hello('Q', "TX#!02")))
        .expect("hello 1 kind=P direct=1 id=TX#!02")
        .send(receiveFrame(c, hello('D', "CUP-03")))
        .expect("hello 2 kind=C direct=1 id=CUP-03")
        .send(receiveFrame(a, data(a1)))
        .expect("data 0 TX0001|412.0|1013.2|22.250|45.6|270|9.72|12.05|07:05:09|48.120833|"
                "-11.516667|90|12.3|")
        .send(wrapApiFrame(bytes({0x8B, 0x01, 0xFF, 0xFE, 0x00, 0x00, 0x00}))) // transmit status
        .send(receiveFrame(b, data(b1)))
        .expect("data 1 TX#!02|-100.0|899.3|21.1|53.1|273|24.30|11.49|00:00:00|~|~|~|~|")
        .send(damaged(receiveFrame(c, data(fields(1111, 2900, 500, 10, 10, 1100, 0))), 20))
        .send(receiveFrame(c, data(c1)))
        .expect("data 2 CUP-03|-100.0|987.6|15.0|61.2|45|6.41|11.87|13:00:00|-33.874187|~|~|~|")
        .send(receiveFrame(a, xdata("T=12.5;RH=40/2")))
        .expect("xdata 0 xdata=T=12.5;RH=40/2");
    const QByteArray splitFrame =
        receiveFrame(b, message(0x91) + compassSamples("00A1FF3C0012003400560078009A"
                                                       "00B1FF2C0013003500570079009B"));
    capture.send(splitFrame.left(20));
    capture.deliver();

    DataFields c2 = fields(9870, 2880, 615, 50, 40, 1186, 0xFF);
    c2.altitude = 300;
    capture.send(splitFrame.mid(20))
        .expect("calibReady 1")
        .expect("calibDataCompass 1")
        .send(receiveFrame(b, message(0x95) + message(0x96)))
        .expect("calibOk 1")
        .expect("calibErr 1")
        .send(receiveFrame(c, message(0x9A) + message(0x98)))
        .expect("calibCupOk 2")
        .expect("calibDonePitot 2")
        // ExtThermCalOk 2981 (0x0BA5) split across two frames of module 0.
        .send(receiveFrame(a, message(0xA0) + bytes({'#', 0xA2, 0x0B})))
        .expect("intThermCalDone 0")
        .send(receiveFrame(a, bytes({0xA5}) + message(0xA4, word(1))))
        .expect("extThermCalOk 0 echo=2981")
        .expect("changeBetaOk 0")
        .send(receiveFrame(c, message(0x9D, bytes({155}))))
        .expect("indoorAck 2 indoor=1")
        // Indoors the flags byte is overridden: the groups behind it are ignored.
        .send(receiveFrame(c, data(c2)))
        .expect("data 2 CUP-03|-100.0|987.0|14.9|61.5|50|7.78|11.86|00:00:00|~|~|~|~|")
        .send(receiveFrame(c, bytes({'#', 0x92, 'x', 'y'}) + message(0x9D, bytes({156}))))
        .expect("indoorAck 2 indoor=0");
    capture.deliver();

    DataFields a2 = fields(10098, 2937, 470, 265, 62, 1201, 0xFF);
    a2.hours = 7;
    a2.minutes = 5;
    a2.seconds = 19;
    a2.latitude = {4807, 3100, 'N'};
    a2.longitude = {1131, 1200, 'W'};
    a2.altitude = 689;
    a2.course = 95;
    a2.groundSpeed = 140;
    DataFields b2 = fields(8990, 2940, 540, 280, 130, 1148, 0x04);
    b2.altitude = 1000;
    DataFields c3 = fields(9865, 2878, 620, 40, 35, 1185, 0x03);
    c3.course = 200;
    c3.groundSpeed = 0;
    capture.send(bytes({0x7D}))
        .send(receiveFrame(a, data(a2)))
        .expect("data 0 TX0001|589.0|1009.8|20.625|47.0|265|12.05|12.01|07:05:19|48.121833|"
                "-11.518667|95|14.0|xdata=T=12.5;RH=40/2")
        .send(receiveFrame(b, data(b1)).left(25))
        .send(receiveFrame(b, data(b2)))
        .expect("data 1 TX#!02|900.0|899.0|20.9|54.0|280|25.27|11.48|00:00:00|~|~|~|~|")
        .send(bytes({0x7E, 0x7F, 0xFF}) + "line noise")
        .send(receiveFrame(c, data(c3)))
        .expect("data 2 CUP-03|-100.0|986.5|14.7|62.0|40|6.80|11.85|00:00:00|~|~|200|0.0|")
        .send(damaged(receiveFrame(a, hello('P', "TX0009")), 16))
        .send(receiveFrame(a, message(0x91)))
        .expect("calibReady 0")
        .send(bytes({0x7E, 0x00}));
    capture.deliver();
    capture.write(folder);
}

// One module in metres per second at ground level, its first frame arriving in pieces.
void metricSingleModule(const QDir &folder)
{
    constexpr qint64 m = 0x0013A20041000042LL;
    Capture capture(QStringLiteral("metric_single_module"), 1, 0);

    DataFields m1 = fields(8500, 2651, 823, 359, 87, 1199, 0xFF);
    m1.hours = 23;
    m1.minutes = 59;
    m1.seconds = 58;
    m1.latitude = {6012, 5000, 'N'};
    m1.longitude = {2455, 9999, 'E'};
    m1.altitude = 1500;
    m1.course = 359;
    m1.groundSpeed = 250;
    DataFields m2 = fields(8490, 2657, 830, 0, 0, 1198, 0xE0);
    m2.seconds = 1;

    const QByteArray helloFrame = receiveFrame(m, hello('C', "PITOT7"));
    capture.send(helloFrame.left(1));
    capture.deliver();
    capture.send(helloFrame.mid(1, 10));
    capture.deliver();
    capture.send(helloFrame.mid(11))
        .expect("hello 0 kind=C direct=0 id=PITOT7")
        .send(receiveFrame(m, data(m1)))
        .expect("data 0 PITOT7|1500.0|850.0|-8.000|82.3|359|8.7|11.99|23:59:58|60.208333|"
                "24.933332|359|12.86|")
        .send(receiveFrame(m, xdata("Tw=12\xB0" "C")))
        .expect(QStringLiteral("xdata 0 xdata=Tw=12") + QChar(0xB0) + "C");
    capture.deliver();
    capture.send(receiveFrame(m, data(m2)))
        .expect(QStringLiteral("data 0 PITOT7|0.0|849.0|-7.375|83.0|0|0.0|11.98|00:00:01|~|~|~|"
                               "0.00|xdata=Tw=12")
                + QChar(0xB0) + "C");
    capture.deliver();
    capture.write(folder);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ventrolla-golden <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    threeModules(folder);
    metricSingleModule(folder);
    return 0;
}
