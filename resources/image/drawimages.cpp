// Build-time tool: draws the button, title-bar, logo and dial images and lists them in a .qrc.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <QtMath>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

// Every glyph is designed on a 32-unit grid and scaled to the image size, so the small buttons
// keep the proportions of the large ones.
constexpr qreal Grid = 32.0;

struct Look
{
    QColor glyph;
    QColor plate; // rounded background behind the glyph; transparent for none
};

const QColor Idle(182, 182, 194);
const QColor Hover(0x45, 0xAD, 0xED);
const QColor Pressed(0x2A, 0x8B, 0xDA);
const QColor Disabled(84, 84, 96);
const QColor Transparent(0, 0, 0, 0);

const Look LookNormal{Idle, Transparent};
const Look LookHover{Hover, Transparent};
const Look LookPressed{Pressed, QColor(255, 255, 255, 22)};
const Look LookLogo{QColor(240, 240, 240), Transparent};

using Glyph = std::function<void(QPainter &, const QColor &)>;

void strokeWith(QPainter &p, const QColor &color, qreal width)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
}

void fillWith(QPainter &p, const QColor &color)
{
    // A thin outline in the fill colour rounds the corners of filled shapes.
    p.setPen(QPen(color, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(color);
}

QPainterPath polygonPath(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QVector<QPointF>(points)));
    path.closeSubpath();
    return path;
}

// Letters of the view buttons, drawn as strokes inside a box of the given height.
void letterF(QPainter &p, QPointF top, qreal h)
{
    const qreal w = h * 0.6;
    QPainterPath path(top + QPointF(0, h));
    path.lineTo(top);
    path.lineTo(top + QPointF(w, 0));
    path.moveTo(top + QPointF(0, h * 0.48));
    path.lineTo(top + QPointF(w * 0.85, h * 0.48));
    p.drawPath(path);
}

void letterR(QPainter &p, QPointF top, qreal h)
{
    const qreal w = h * 0.62;
    const qreal mid = h * 0.52;
    QPainterPath path(top + QPointF(0, h));
    path.lineTo(top);
    path.lineTo(top + QPointF(w * 0.55, 0));
    path.cubicTo(top + QPointF(w * 1.1, 0), top + QPointF(w * 1.1, mid),
                 top + QPointF(w * 0.55, mid));
    path.lineTo(top + QPointF(0, mid));
    path.moveTo(top + QPointF(w * 0.45, mid));
    path.lineTo(top + QPointF(w, h));
    p.drawPath(path);
}

void frontViewGlyph(QPainter &p, const QColor &c)
{
    strokeWith(p, c, 2.0);
    p.drawRoundedRect(QRectF(6, 7, 20, 18), 2.5, 2.5);
    letterF(p, QPointF(13.2, 11), 10);
}

void rearViewGlyph(QPainter &p, const QColor &c)
{
    strokeWith(p, c, 2.0);
    p.drawRoundedRect(QRectF(6, 7, 20, 18), 2.5, 2.5);
    letterR(p, QPointF(12.8, 11), 10);
}

void frontRearViewGlyph(QPainter &p, const QColor &c)
{
    strokeWith(p, c, 1.8);
    p.drawRoundedRect(QRectF(3.5, 8, 11.5, 16), 2, 2);
    p.drawRoundedRect(QRectF(17, 8, 11.5, 16), 2, 2);
    strokeWith(p, c, 1.6);
    letterF(p, QPointF(7.6, 12.5), 7);
    letterR(p, QPointF(21, 12.5), 7);
}

void fileGlyph(QPainter &p, const QColor &c)
{
    strokeWith(p, c, 2.0);
    QPainterPath back(QPointF(5, 24));
    back.lineTo(5, 8.5);
    back.lineTo(12, 8.5);
    back.lineTo(14.5, 11);
    back.lineTo(25, 11);
    back.lineTo(25, 14.5);
    p.drawPath(back);
    // The open front flap of the folder.
    p.drawPath(polygonPath({{5, 24}, {9, 14.5}, {28.5, 14.5}, {24.5, 24}}));
}

// A tray with an arrow leaving it: the track goes out to a file.
void exportGlyph(QPainter &p, const QColor &c)
{
    strokeWith(p, c, 2.0);
    QPainterPath tray(QPointF(6, 16));
    tray.lineTo(6, 25);
    tray.lineTo(26, 25);
    tray.lineTo(26, 16);
    p.drawPath(tray);
    p.drawLine(QPointF(16, 20), QPointF(16, 6));
    QPainterPath head(QPointF(11, 11));
    head.lineTo(16, 6);
    head.lineTo(21, 11);
    p.drawPath(head);
}

// A list with a warning sign beside it: the drive's events.
void eventsGlyph(QPainter &p, const QColor &c)
{
    strokeWith(p, c, 2.0);
    p.drawLine(QPointF(5, 9), QPointF(13, 9));
    p.drawLine(QPointF(5, 16), QPointF(11, 16));
    p.drawLine(QPointF(5, 23), QPointF(11, 23));
    p.drawPath(polygonPath({{21.5, 7}, {29, 24}, {14, 24}}));
    p.drawLine(QPointF(21.5, 12.5), QPointF(21.5, 18));
    fillWith(p, c);
    p.drawEllipse(QPointF(21.5, 21.2), 0.6, 0.6);
}

void shotGlyph(QPainter &p, const QColor &c)
{
    strokeWith(p, c, 2.0);
    QPainterPath body(QPointF(8, 11));
    body.lineTo(11, 11);
    body.lineTo(13, 8);
    body.lineTo(19, 8);
    body.lineTo(21, 11);
    body.lineTo(26, 11);
    body.quadTo(28, 11, 28, 13);
    body.lineTo(28, 23);
    body.quadTo(28, 25, 26, 25);
    body.lineTo(6, 25);
    body.quadTo(4, 25, 4, 23);
    body.lineTo(4, 13);
    body.quadTo(4, 11, 6, 11);
    body.closeSubpath();
    p.drawPath(body);
    p.drawEllipse(QPointF(16, 18), 4.2, 4.2);
    fillWith(p, c);
    p.drawEllipse(QPointF(23.8, 14.4), 0.7, 0.7);
}

void playGlyph(QPainter &p, const QColor &c)
{
    fillWith(p, c);
    p.drawPath(polygonPath({{10.5, 6.5}, {26, 16}, {10.5, 25.5}}));
}

void pauseGlyph(QPainter &p, const QColor &c)
{
    fillWith(p, c);
    p.drawRoundedRect(QRectF(9.5, 7, 4.5, 18), 1, 1);
    p.drawRoundedRect(QRectF(18, 7, 4.5, 18), 1, 1);
}

void stopGlyph(QPainter &p, const QColor &c)
{
    fillWith(p, c);
    p.drawRoundedRect(QRectF(8.5, 8.5, 15, 15), 2, 2);
}

void previousGlyph(QPainter &p, const QColor &c)
{
    fillWith(p, c);
    p.drawRoundedRect(QRectF(6.5, 7.5, 3.5, 17), 0.8, 0.8);
    p.drawPath(polygonPath({{25.5, 7.5}, {12, 16}, {25.5, 24.5}}));
}

void nextGlyph(QPainter &p, const QColor &c)
{
    fillWith(p, c);
    p.drawRoundedRect(QRectF(22, 7.5, 3.5, 17), 0.8, 0.8);
    p.drawPath(polygonPath({{6.5, 7.5}, {20, 16}, {6.5, 24.5}}));
}

void speakerGlyph(QPainter &p, const QColor &c)
{
    fillWith(p, c);
    p.drawPath(polygonPath({{4, 12}, {9.5, 12}, {16.5, 6}, {16.5, 26}, {9.5, 20}, {4, 20}}));
}

void volumeGlyph(QPainter &p, const QColor &c)
{
    speakerGlyph(p, c);
    strokeWith(p, c, 2.2);
    p.drawArc(QRectF(13, 10.5, 11, 11), -50 * 16, 100 * 16);
    p.drawArc(QRectF(10.5, 5.5, 20, 21), -50 * 16, 100 * 16);
}

void muteGlyph(QPainter &p, const QColor &c)
{
    speakerGlyph(p, c);
    strokeWith(p, c, 2.4);
    p.drawLine(QPointF(20.5, 12), QPointF(28, 20));
    p.drawLine(QPointF(28, 12), QPointF(20.5, 20));
}

void speedUpGlyph(QPainter &p, const QColor &c)
{
    fillWith(p, c);
    p.drawPath(polygonPath({{5, 22}, {16, 9}, {27, 22}}));
}

void speedDownGlyph(QPainter &p, const QColor &c)
{
    fillWith(p, c);
    p.drawPath(polygonPath({{5, 10}, {16, 23}, {27, 10}}));
}

void setupGlyph(QPainter &p, const QColor &c)
{
    // A gear: eight teeth around a ring.
    fillWith(p, c);
    for (int tooth = 0; tooth < 8; ++tooth) {
        p.save();
        p.translate(16, 16);
        p.rotate(tooth * 45.0);
        p.drawRoundedRect(QRectF(-2.2, -12.5, 4.4, 6), 1, 1);
        p.restore();
    }
    strokeWith(p, c, 3.2);
    p.drawEllipse(QPointF(16, 16), 6.8, 6.8);
}

void minimizeGlyph(QPainter &p, const QColor &c)
{
    strokeWith(p, c, 2.2);
    p.drawLine(QPointF(9, 21), QPointF(23, 21));
}

void maximizeGlyph(QPainter &p, const QColor &c)
{
    strokeWith(p, c, 2.2);
    p.drawRect(QRectF(9, 9, 14, 14));
}

void restoreGlyph(QPainter &p, const QColor &c)
{
    strokeWith(p, c, 2.0);
    p.drawRect(QRectF(8, 12, 12, 12));
    QPainterPath behind(QPointF(12, 12));
    behind.lineTo(12, 8);
    behind.lineTo(24, 8);
    behind.lineTo(24, 20);
    behind.lineTo(20, 20);
    p.drawPath(behind);
}

void closeGlyph(QPainter &p, const QColor &c)
{
    strokeWith(p, c, 2.2);
    p.drawLine(QPointF(9.5, 9.5), QPointF(22.5, 22.5));
    p.drawLine(QPointF(22.5, 9.5), QPointF(9.5, 22.5));
}

// The program's mark: a camera lens over a road running to the horizon.
void logoGlyph(QPainter &p, const QColor &c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(38, 153, 238));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 7, 7);
    fillWith(p, QColor(28, 32, 44));
    p.drawPath(polygonPath({{12.5, 17}, {19.5, 17}, {27, 30}, {5, 30}}));
    strokeWith(p, c, 1.4);
    p.drawLine(QPointF(16, 19), QPointF(16, 21.5));
    p.drawLine(QPointF(16, 24), QPointF(16, 27.5));
    strokeWith(p, c, 2.2);
    p.drawEllipse(QPointF(16, 10), 5.5, 5.5);
    fillWith(p, c);
    p.drawEllipse(QPointF(16, 10), 2, 2);
}

// Dial lettering is drawn as strokes, as this tool runs without a font system. Each character is
// a path in a box one unit high; the returned width is its advance without spacing.
qreal strokeCharacter(QChar c, QPainterPath &path)
{
    switch (c.unicode()) {
    case '0':
        path.addRoundedRect(QRectF(0, 0, 0.6, 1), 0.3, 0.3);
        return 0.6;
    case '1':
        path.moveTo(0.08, 0.22);
        path.lineTo(0.32, 0);
        path.lineTo(0.32, 1);
        return 0.42;
    case '2':
        path.moveTo(0.02, 0.24);
        path.cubicTo(0.06, -0.06, 0.58, -0.07, 0.58, 0.27);
        path.cubicTo(0.58, 0.46, 0.3, 0.62, 0, 1);
        path.lineTo(0.62, 1);
        return 0.62;
    case '4':
        path.moveTo(0.46, 1);
        path.lineTo(0.46, 0);
        path.lineTo(0, 0.7);
        path.lineTo(0.62, 0.7);
        return 0.62;
    case '6':
        path.addEllipse(QRectF(0, 0.42, 0.6, 0.58));
        path.moveTo(0.52, 0.04);
        path.cubicTo(0.2, -0.06, 0, 0.28, 0, 0.71);
        return 0.6;
    case '8':
        path.addEllipse(QRectF(0.05, 0, 0.5, 0.46));
        path.addEllipse(QRectF(0, 0.46, 0.6, 0.54));
        return 0.6;
    case 'E':
        path.moveTo(0.56, 0);
        path.lineTo(0, 0);
        path.lineTo(0, 1);
        path.lineTo(0.56, 1);
        path.moveTo(0, 0.5);
        path.lineTo(0.48, 0.5);
        return 0.56;
    case 'N':
        path.moveTo(0, 1);
        path.lineTo(0, 0);
        path.lineTo(0.62, 1);
        path.lineTo(0.62, 0);
        return 0.62;
    case 'S':
        path.moveTo(0.56, 0.14);
        path.cubicTo(0.42, -0.04, 0.02, -0.02, 0.03, 0.25);
        path.cubicTo(0.04, 0.48, 0.58, 0.47, 0.58, 0.73);
        path.cubicTo(0.58, 1.03, 0.14, 1.05, 0.01, 0.85);
        return 0.6;
    case 'W':
        path.moveTo(0, 0);
        path.lineTo(0.2, 1);
        path.lineTo(0.4, 0.36);
        path.lineTo(0.6, 1);
        path.lineTo(0.8, 0);
        return 0.8;
    default:
        return 0.6;
    }
}

// Centres the text on a point, with characters of the given height and stroke width.
void drawStrokeText(QPainter &p, const QString &text, QPointF centre, qreal height,
                    const QColor &color, qreal weight)
{
    const qreal spacing = 0.28;
    QPainterPath path;
    qreal advance = 0;
    for (const QChar c : text) {
        QPainterPath character;
        const qreal width = strokeCharacter(c, character);
        path.addPath(character.translated(advance, 0));
        advance += width + spacing;
    }
    advance -= spacing;
    p.save();
    p.translate(centre - QPointF(advance * height / 2, height / 2));
    p.scale(height, height);
    p.setPen(QPen(color, weight / height, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
}

// A point on a dial of the given radius, at degrees clockwise from straight up.
QPointF onDial(qreal degrees, qreal radius)
{
    const qreal radians = qDegreesToRadians(degrees);
    return QPointF(radius * std::sin(radians), -radius * std::cos(radians));
}

// Dials are designed on a face of radius 100 around the origin; the gauges pivot their needles
// on the image centre and size them from the image side, which sets the free rings below.
QImage renderDial(int size, const std::function<void(QPainter &)> &face)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(size / 2.0, size / 2.0);
    p.scale(size / 200.0, size / 200.0);
    QRadialGradient shade(QPointF(0, -20), 110);
    shade.setColorAt(0, QColor(50, 50, 60));
    shade.setColorAt(1, QColor(20, 20, 26));
    p.setPen(QPen(QColor(96, 96, 110), 1.6));
    p.setBrush(shade);
    p.drawEllipse(QPointF(0, 0), 98, 98);
    face(p);
    return image;
}

// Speedometer: 0 at -135 degrees to maxSpeed at +135 degrees through the top, with room for the
// needle (0.3 of the side) inside the labels and an empty box for the speed text. The km/h dial
// goes to 220, the mph dial to 140; the marks from redFrom up are red.
void speedFace(QPainter &p, int maxSpeed, int redFrom)
{
    const auto angleOf = [&](qreal speed) { return speed * 270 / maxSpeed - 135; };
    p.setPen(QPen(QColor(120, 120, 134), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(-91, -91, 182, 182), (90 + 135) * 16, -270 * 16);
    for (int speed = 0; speed <= maxSpeed; speed += 10) {
        const bool major = speed % 20 == 0;
        // The top of the scale is marked red, as on a car's speedometer.
        const QColor mark = speed >= redFrom ? QColor(235, 70, 70) : QColor(214, 214, 226);
        p.setPen(QPen(mark, major ? 2.6 : 1.4, Qt::SolidLine, Qt::FlatCap));
        const qreal angle = angleOf(speed);
        p.drawLine(onDial(angle, major ? 79 : 84), onDial(angle, 91));
        if (major)
            drawStrokeText(p, QString::number(speed), onDial(angle, 68), 9.5, mark, 1.8);
    }
    p.setPen(QPen(QColor(70, 70, 82), 1));
    p.setBrush(QColor(12, 12, 16));
    p.drawRoundedRect(QRectF(-36, 49, 72, 24), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(245, 41, 56));
    p.drawEllipse(QPointF(0, 0), 10, 10);
}

// Compass rose with north up; the needle (0.24 of the side each way) stays inside the letters.
void compassFace(QPainter &p)
{
    const QColor cardinal(72, 206, 98);
    const QColor minor(150, 150, 164);
    p.setPen(QPen(QColor(74, 74, 88), 0.5));
    for (int degrees = 0; degrees < 180; degrees += 45)
        p.drawLine(onDial(degrees, 54), onDial(degrees + 180, 54));
    for (int degrees = 0; degrees < 360; degrees += 5) {
        if (degrees == 0)
            continue; // the north triangle stands there
        const bool major = degrees % 30 == 0;
        p.setPen(QPen(major ? QColor(214, 214, 226) : minor, major ? 1.4 : 0.7, Qt::SolidLine,
                      Qt::FlatCap));
        p.drawLine(onDial(degrees, major ? 86 : 90), onDial(degrees, 95));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(cardinal);
    p.drawPath(polygonPath({{0, -83}, {-6, -95}, {6, -95}}));
    const char *const names[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    for (int i = 0; i < 8; ++i) {
        const bool main = i % 2 == 0;
        drawStrokeText(p, QLatin1String(names[i]), onDial(i * 45, main ? 68 : 70), main ? 20 : 10,
                       main ? cardinal : minor, main ? 3.4 : 1.6);
    }
}

QImage render(int size, const Look &look, const Glyph &glyph)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / Grid, size / Grid);
    if (look.plate.alpha() > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(look.plate);
        p.drawRoundedRect(QRectF(0.5, 0.5, Grid - 1, Grid - 1), 5, 5);
    }
    glyph(p, look.glyph);
    return image;
}

class ImageWriter
{
public:
    explicit ImageWriter(const QString &outDir)
        : mOutDir(outDir)
    { }

    bool write(const QString &name, int size, const Look &look, const Glyph &glyph)
    {
        return save(name, render(size, look, glyph));
    }

    bool save(const QString &name, const QImage &image)
    {
        const QString relative = QStringLiteral("image/%1.png").arg(name);
        if (!image.save(mOutDir + QLatin1Char('/') + relative, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(relative));
            return false;
        }
        mFiles << relative;
        return true;
    }

    // The three states of a plain button.
    bool writeButton(const QString &name, int size, const Glyph &glyph)
    {
        return write(name + "_normal", size, LookNormal, glyph)
               && write(name + "_hover", size, LookHover, glyph)
               && write(name + "_pressed", size, LookPressed, glyph);
    }

    // The seven states of a checkable view button.
    bool writeViewButton(const QString &name, const Glyph &glyph)
    {
        const QColor white(255, 255, 255);
        return writeButton(name, 32, glyph)
               && write(name + "_checked_normal", 32, {white, QColor(38, 153, 238)}, glyph)
               && write(name + "_checked_hover", 32, {white, Hover}, glyph)
               && write(name + "_checked_pressed", 32, {QColor(222, 234, 246), Pressed}, glyph)
               && write(name + "_disable", 32, {Disabled, Transparent}, glyph);
    }

    bool writeQrc(const QString &qrcName) const
    {
        QFile file(mOutDir + QLatin1Char('/') + qrcName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return false;
        }
        QTextStream out(&file);
        out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/image\">\n";
        for (const QString &relative : mFiles)
            out << "    <file alias=\"" << relative.mid(6) << "\">" << relative << "</file>\n";
        out << "</qresource>\n</RCC>\n";
        out.flush();
        return file.error() == QFile::NoError;
    }

private:
    QString mOutDir;
    QStringList mFiles;
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR QRC_NAME\n", argv[0]);
        return 64;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(outDir + QStringLiteral("/image"))) {
        std::fprintf(stderr, "cannot create %s/image\n", argv[1]);
        return 1;
    }

    ImageWriter writer(outDir);
    const bool written
            = writer.writeViewButton("front_view", frontViewGlyph)
              && writer.writeViewButton("rear_view", rearViewGlyph)
              && writer.writeViewButton("front_rear_view", frontRearViewGlyph)
              && writer.writeButton("file", 32, fileGlyph)
              && writer.writeButton("export", 32, exportGlyph)
              && writer.writeButton("events", 32, eventsGlyph)
              && writer.writeButton("shot", 32, shotGlyph)
              && writer.writeButton("play", 32, playGlyph)
              && writer.writeButton("pause", 32, pauseGlyph)
              && writer.writeButton("stop", 32, stopGlyph)
              && writer.writeButton("prev", 24, previousGlyph)
              && writer.writeButton("next", 24, nextGlyph)
              && writer.write("volume_normal", 20, LookNormal, volumeGlyph)
              && writer.write("volume_hover", 20, LookHover, volumeGlyph)
              && writer.writeButton("mute", 20, muteGlyph)
              && writer.writeButton("speedup", 16, speedUpGlyph)
              && writer.writeButton("speeddown", 16, speedDownGlyph)
              && writer.writeButton("setup", 24, setupGlyph)
              && writer.writeButton("min", 24, minimizeGlyph)
              && writer.writeButton("max", 24, maximizeGlyph)
              && writer.writeButton("restore", 24, restoreGlyph)
              && writer.writeButton("close", 24, closeGlyph)
              && writer.write("logo", 36, LookLogo, logoGlyph)
              && writer.write("velqor", 256, LookLogo, logoGlyph)
              && writer.save("speed", renderDial(250, [](QPainter &p) { speedFace(p, 220, 180); }))
              && writer.save("speed_mph",
                             renderDial(250, [](QPainter &p) { speedFace(p, 140, 120); }))
              && writer.save("direction", renderDial(500, compassFace))
              && writer.writeQrc(QString::fromLocal8Bit(argv[2]));
    return written ? 0 : 1;
}
