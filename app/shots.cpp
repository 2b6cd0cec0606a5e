// Renders the terminal's windows offscreen to PNG files, to look at them:
//   tollivane-shots <folder>
// Writes main.png, pointin.png and one picture of the point input window for each notice.
#include "Udm1.h"
#include "Umain.h"
#include "Upointin.h"
#include "panel.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QWidget>

#include <cstdio>

namespace {

bool save(QWidget *w, const QString &dir, const QString &name)
{
    const QString path = dir + u'/' + name + QStringLiteral(".png");
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    QDir().mkpath(dir);

    // No profile is connected: the windows are shown as they are laid out.
    Fmain = new TFmain;
    Fpointin = new TFpointin(Fmain);
    Dm1 = new TDm1;
    bool ok = save(Fmain, dir, QStringLiteral("main"));
    Fmain->Panel2->show();
    ok = save(Fmain, dir, QStringLiteral("main-registered-notice")) && ok;

    ok = save(Fpointin, dir, QStringLiteral("pointin")) && ok;
    const struct
    {
        QWidget *notice;
        const char *name;
    } notices[] = {
        {Fpointin->Panel5, "pointin-panel5"},
        {Fpointin->Panel7, "pointin-panel7"},
        {Fpointin->Panel9, "pointin-panel9"},
        {Fpointin->Panel10, "pointin-panel10"},
    };
    for (const auto &n : notices) {
        for (const auto &other : notices)
            other.notice->setVisible(other.notice == n.notice);
        ok = save(Fpointin, dir, QLatin1String(n.name)) && ok;
    }

    delete Dm1;
    delete Fpointin;
    delete Fmain;
    return ok ? 0 : 1;
}
