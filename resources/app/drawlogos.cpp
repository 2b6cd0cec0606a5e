// Draws the pictures of the main window into the current folder: maker.png (330 x 129),
// title.png (495 x 125), partner.png (95 x 49) and close.png (16 x 16). They are constant, so
// the terminal loads them instead of drawing them at every start (drawing them took about a
// third of its start-up, most of it loading a font for them alone). Built by the target
// draw-main-window-pictures, run by hand with the windows' font alias, from the top folder:
//   FONTCONFIG_FILE=resources/fontconfig/fonts.conf QT_QPA_PLATFORM=offscreen
//   build/resources/draw-main-window-pictures resources/app
#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

using namespace Qt::StringLiterals;

namespace {

QFont face(int px, bool bold = true, const QString &family = u"DejaVu Sans"_s)
{
    QFont f(family);
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

// A ski jumper in flight: a V of skis under a leaning body, as a single path.
void drawJumper(QPainter &p, QPointF at, qreal scale, const QColor &colour)
{
    p.save();
    p.translate(at);
    p.scale(scale, scale);
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour);
    p.drawEllipse(QPointF(22, 2), 4, 4);
    p.drawLine(QPointF(19, 6), QPointF(4, 22));  // body
    p.drawLine(QPointF(4, 22), QPointF(-2, 30)); // legs
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(-14, 22), QPointF(30, 38)); // skis in a V
    p.drawLine(QPointF(-10, 28), QPointF(34, 30));
    p.restore();
}

QPixmap maker()
{
    QPixmap pm(330, 129);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 129);
    g.setColorAt(0, QColor(20, 20, 40));
    g.setColorAt(1, QColor(0, 0, 0));
    p.fillRect(pm.rect(), g);
    p.setPen(QPen(QColor(200, 200, 220), 2));
    p.drawLine(20, 80, 310, 80);
    p.setFont(face(52));
    p.setPen(QColor(235, 235, 245));
    p.drawText(QRect(0, 8, 330, 70), Qt::AlignCenter, QStringLiteral("VELMOR"));
    p.setFont(face(14, false));
    p.setPen(QColor(150, 170, 210));
    p.drawText(QRect(0, 84, 330, 18), Qt::AlignCenter,
               QStringLiteral("sports timing & judging systems"));
    // Below the frame of the main window: cut off there, as intended.
    p.drawText(QRect(0, 106, 330, 18), Qt::AlignCenter, QStringLiteral("since 1989"));
    return pm;
}

QPixmap title()
{
    QPixmap pm(495, 125);
    pm.fill(Qt::black);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor yellow(255, 230, 0);
    drawJumper(p, QPointF(28, 30), 1.6, yellow);
    QFont f = face(64);
    f.setItalic(true);
    p.setFont(f);
    p.setPen(yellow);
    p.drawText(QRect(110, 4, 380, 80), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tollivane"));
    p.setFont(face(20, true, u"ＭＳ Ｐゴシック"_s));
    p.drawText(QRect(112, 84, 380, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral(u"飛型審判 採点システム"));
    return pm;
}

QPixmap partner()
{
    QPixmap pm(95, 49);
    pm.fill(Qt::black);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 160, 230), 3));
    p.setBrush(Qt::NoBrush);
    QPainterPath hill;
    hill.moveTo(4, 40);
    hill.quadTo(30, 6, 52, 30);
    hill.quadTo(70, 44, 91, 44);
    p.drawPath(hill);
    p.setFont(face(13));
    p.setPen(QColor(240, 240, 240));
    p.drawText(QRect(36, 2, 58, 20), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("HILL"));
    p.drawText(QRect(36, 18, 58, 20), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("CLUB"));
    return pm;
}

QPixmap closeMark()
{
    // Drawn rather than taken from the desktop's icon theme: looking a theme up costs about
    // 10 ms at start-up, and the mark then looks the same on every judge's PC.
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
    return pm;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QDir out(app.arguments().value(1, u"."_s));
    const bool ok = maker().save(out.filePath(u"maker.png"_s)) &&
                    title().save(out.filePath(u"title.png"_s)) &&
                    partner().save(out.filePath(u"partner.png"_s)) &&
                    closeMark().save(out.filePath(u"close.png"_s));
    return ok ? 0 : 1;
}
