// Draws the application's images and synthesises its alert sound, so anyone can see how they
// were made and make them again (tools/make-resources.sh runs this and encodes the sound):
//
//     ventrolla-make-resources <image folder> <alert.wav>
//
// Images: the window icon (64 px), the maker's icon (128 px), four status LEDs (16 px) and the
// question-mark help icon (16 px), all in one flat style and one palette, drawn at the size they
// are shown so they stay crisp. Sound: a two-tone alarm, high then low, half a second long, 16-bit
// mono PCM, which the alert plays again every 600 ms while it lasts.

#include <QColor>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

// The palette every image draws from.
const QColor navy(0x1d, 0x35, 0x57);
const QColor sky(0x45, 0x7b, 0x9d);
const QColor pale(0xf1, 0xfa, 0xee);
const QColor accent(0xe7, 0x6f, 0x51);

QImage canvas(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

bool save(const QImage &image, const QString &folder, const QString &name)
{
    const QString path = QDir(folder).filePath(name);
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return false;
}

// A balloon on its mooring line with two flight modules, on a rounded tile.
QImage windowIcon()
{
    QImage image = canvas(64);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, sky);
    tile.setColorAt(1, navy);
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(1, 1, 62, 62), 12, 12);

    QPainterPath line;
    line.moveTo(32, 33);
    line.quadTo(30, 48, 18, 62);
    p.setPen(QPen(pale, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);

    QRadialGradient balloon(QPointF(27, 14), 18);
    balloon.setColorAt(0, Qt::white);
    balloon.setColorAt(1, pale.darker(115));
    p.setPen(Qt::NoPen);
    p.setBrush(balloon);
    p.drawEllipse(QRectF(18, 7, 28, 24));
    p.drawPolygon(QPolygonF({QPointF(29, 29), QPointF(35, 29), QPointF(32, 34)}));

    p.setBrush(accent);
    p.drawRoundedRect(QRectF(27, 41, 7, 5), 1, 1);
    p.drawRoundedRect(QRectF(21, 52, 7, 5), 1, 1);
    return image;
}

// The maker's mark: an open ring with the wind blowing through its gap.
QImage makerIcon()
{
    QImage image = canvas(128);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient disc(0, 0, 0, 128);
    disc.setColorAt(0, sky);
    disc.setColorAt(1, navy);
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(QRectF(2, 2, 124, 124));

    p.setPen(QPen(pale, 14, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    // Angles in sixteenths of a degree, counter-clockwise from three o'clock.
    p.drawArc(QRectF(26, 26, 76, 76), 50 * 16, 260 * 16);

    p.setPen(QPen(accent, 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(70, 52), QPointF(104, 52));
    p.drawLine(QPointF(62, 64), QPointF(110, 64));
    p.drawLine(QPointF(70, 76), QPointF(104, 76));
    return image;
}

// A round status lamp, lit from the upper left.
QImage led(const QColor &colour)
{
    QImage image = canvas(16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(6, 5.5), 8);
    glow.setColorAt(0, colour.lighter(170));
    glow.setColorAt(0.45, colour);
    glow.setColorAt(1, colour.darker(135));
    p.setPen(QPen(colour.darker(200), 1));
    p.setBrush(glow);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return image;
}

QImage questionMark()
{
    QImage image = canvas(16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(QPen(navy, 1));
    p.setBrush(sky);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    return image;
}

// Two tones a major third apart, 250 ms each, with 8 ms ramps so neither edge clicks.
bool writeAlert(const QString &path)
{
    constexpr int rate = 22050;
    constexpr double toneSeconds = 0.25;
    constexpr double rampSeconds = 0.008;
    const double tones[] = {960.0, 770.0};
    QVector<qint16> samples;
    for (double frequency : tones) {
        const int count = int(rate * toneSeconds);
        for (int i = 0; i < count; ++i) {
            const double t = double(i) / rate;
            const double ramp = std::min({1.0, t / rampSeconds, (toneSeconds - t) / rampSeconds});
            // A little third harmonic makes the tone carry on small loudspeakers.
            const double wave = std::sin(2 * M_PI * frequency * t)
                                + 0.25 * std::sin(2 * M_PI * 3 * frequency * t);
            samples << qint16(std::lround(0.7 * 32767 / 1.25 * ramp * wave));
        }
    }

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataBytes = quint32(samples.size() * 2);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2)
        << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (qint16 sample : samples)
        out << sample;
    return out.status() == QDataStream::Ok;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ventrolla-make-resources <image folder> <alert.wav>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const bool ok = save(windowIcon(), folder, QStringLiteral("WindowIcon.png"))
                    && save(makerIcon(), folder, QStringLiteral("CorvanelIcon.png"))
                    && save(led(QColor(0x9e, 0x9e, 0x9e)), folder, QStringLiteral("led_grey.png"))
                    && save(led(QColor(0xe5, 0x39, 0x35)), folder, QStringLiteral("led_red.png"))
                    && save(led(QColor(0x43, 0xa0, 0x47)), folder, QStringLiteral("led_green.png"))
                    && save(led(QColor(0xfd, 0xd8, 0x35)), folder, QStringLiteral("led_yellow.png"))
                    && save(questionMark(), folder, QStringLiteral("question.png"))
                    && writeAlert(QString::fromLocal8Bit(argv[2]));
    return ok ? 0 : 1;
}
