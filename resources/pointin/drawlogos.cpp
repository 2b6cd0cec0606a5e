// Draws the two pictures of the point input window into the current folder: logo.png
// (177 x 59) and partner.png (95 x 49), 24 bits per pixel. Built by the target
// draw-point-input-pictures, run by hand in resources/pointin:
//   QT_QPA_PLATFORM=offscreen ../../build/resources/draw-point-input-pictures
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

QFont face(int px, bool bold, bool italic = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(px);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// The landing hill with a jumper in flight above it, in a box of about 56 x 48.
void drawHill(QPainter &p, QPointF at)
{
    p.save();
    p.translate(at);
    QPainterPath hill;
    hill.moveTo(0, 12);
    hill.cubicTo(18, 22, 26, 44, 56, 46);
    hill.lineTo(0, 46);
    hill.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1C, 0x5F, 0xB8));
    p.drawPath(hill);
    const QColor jumper(0xE0, 0x20, 0x20);
    p.setBrush(jumper);
    p.drawEllipse(QPointF(34, 6), 3, 3);
    p.setPen(QPen(jumper, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(31, 9), QPointF(22, 20));
    p.setPen(QPen(QColor(0x10, 0x20, 0x50), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 21), QPointF(46, 13)); // skis in a V, opening forward
    p.drawLine(QPointF(20, 21), QPointF(47, 22));
    p.restore();
}

QImage logo()
{
    QImage img(177, 59, QImage::Format_RGB888);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawHill(p, QPointF(4, 6));
    p.setPen(QColor(0x10, 0x20, 0x60));
    p.setFont(face(23, true, true));
    p.drawText(QRect(60, 4, 116, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tollivane"));
    p.fillRect(QRect(62, 35, 110, 2), QColor(0xE0, 0x20, 0x20));
    p.setPen(QColor(0x50, 0x50, 0x60));
    p.setFont(face(10, true));
    p.drawText(QRect(62, 39, 114, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("STYLE JUDGING"));
    return img;
}

QImage partner()
{
    QImage img(95, 49, QImage::Format_RGB888);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x10, 0x20, 0x60));
    p.drawRoundedRect(QRectF(1, 1, 93, 47), 7, 7);
    p.setPen(Qt::white);
    p.setFont(face(17, true));
    p.drawText(QRect(1, 3, 93, 28), Qt::AlignCenter, QStringLiteral("VELMOR"));
    p.fillRect(QRect(12, 31, 71, 2), QColor(0xFF, 0xD0, 0x00));
    p.setFont(face(9, false));
    p.drawText(QRect(1, 33, 93, 13), Qt::AlignCenter, QStringLiteral("timing & scoring"));
    return img;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const bool ok =
        logo().save(QStringLiteral("logo.png")) && partner().save(QStringLiteral("partner.png"));
    return ok ? 0 : 1;
}
