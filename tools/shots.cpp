// Renders the terminal's windows offscreen to PNG files, to look at them:
//   tollivane-shots <folder>
// The station runs on a demo competition of its own in a temporary folder (the user's settings
// and alias file are not touched): the main window, the point input window with a competitor,
// and the point input window with each notice shown alone, on a Full HD screen at 100 %; then
// both windows on each laptop screen of screens.h, alone and as the laptop's whole screen shows
// them (screen-1920x1080-150.png: the work area, the taskbar's place, both windows in frames
// drawn here).
#include "app/mainwindow.h"
#include "app/station.h"
#include "app/stationsession.h"
#include "controls/cutebutton.h"
#include "db/competitiongateway.h"
#include "db/dbengine.h"
#include "pointin/pointinputwindow.h"
#include "toolkit/messages.h"
#include "toolkit/windowscale.h"
#include "tools/competition.h"
#include "tools/screens.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// A control by its form name.
QWidget *named(QWidget *window, const char *name)
{
    return window->findChild<QWidget *>(QLatin1String(name));
}

// Runs the event loop until the condition holds, at most ten seconds.
template<class Condition> bool waitFor(Condition condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

bool save(const QImage &image, const QString &dir, const QString &name)
{
    const QString path = dir + u'/' + name + u".png"_s;
    const bool ok = image.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

// At the window's own pixels: a window on a screen at 150 % is drawn half as large again.
bool save(QWidget *w, const QString &dir, const char *name)
{
    return save(w->grab().toImage(), dir, QLatin1String(name));
}

// A frame as a desktop's: borders and a title bar with the window's title.
void drawFramed(QPainter &p, QWidget *w, const QPoint &topLeft, qreal dpr)
{
    const QMargins frame = scaling::designFrame;
    const QRect outer(topLeft, w->size().grownBy(frame));
    p.save();
    p.scale(dpr, dpr);
    p.fillRect(outer, QColor(0x20, 0x50, 0x90));
    QFont title = p.font();
    title.setPixelSize(12);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(outer.adjusted(frame.left(), 0, 0, -outer.height() + frame.top()),
               Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
    p.restore();
    QImage client = w->grab().toImage();
    client.setDevicePixelRatio(1); // drawn pixel for pixel: the painter is in the screen's
    p.drawImage(QPointF((topLeft.x() + frame.left()) * dpr, (topLeft.y() + frame.top()) * dpr),
                client);
}

// The laptop's whole screen: the work area with both windows where the terminal put them, the
// taskbar below it.
QImage screenPicture(const screens::Laptop &laptop, const QScreen *screen, QWidget *mainWindow,
                     QWidget *pointInput)
{
    QImage image(laptop.pixels, QImage::Format_RGB32);
    image.fill(QColor(0x2d, 0x6a, 0x4f));
    QPainter p(&image);
    const qreal dpr = laptop.percent / 100.0;
    const QRect work = screen->availableGeometry();
    p.fillRect(QRectF(0, work.height() * dpr, laptop.pixels.width(),
                      laptop.pixels.height() - work.height() * dpr),
               QColor(0x20, 0x20, 0x28));
    for (QWidget *w : {mainWindow, pointInput})
        drawFramed(p, w, w->frameGeometry().topLeft() - work.topLeft(), dpr);
    return image;
}

// Whether the window, in a desktop's frame, lies inside the screen's work area.
bool inside(QWidget *w, const QScreen *screen)
{
    const QRect outer(w->frameGeometry().topLeft(), w->size().grownBy(scaling::designFrame));
    return screen->availableGeometry().contains(outer);
}

// Both windows moved onto a screen, as a judge drags them to another monitor, and centred there
// as the terminal places them.
bool showOn(QScreen *screen, QWidget *mainWindow, QWidget *pointInput,
            const std::function<bool()> &enter)
{
    for (QWidget *w : {mainWindow, pointInput})
        w->move(screen->availableGeometry().topLeft());
    QCoreApplication::processEvents();
    mainWindow->move(WindowScale::of(mainWindow)->centredOver(screen->availableGeometry(), screen));
    pointInput->move(WindowScale::of(pointInput)->centredOver(mainWindow->frameGeometry(), screen));
    return enter();
}

// Both windows on every laptop screen, then back on the Full HD one.
bool shootLaptops(const QString &dir, QWidget *mainWindow, QWidget *pointInput,
                  const std::function<bool()> &enter)
{
    bool ok = true;
    for (const screens::Laptop &laptop : screens::laptops()) {
        QScreen *screen = screens::screenOf(laptop);
        if (!screen)
            return false;
        ok = showOn(screen, mainWindow, pointInput, enter) && ok;
        const QString tag = u"%1x%2-%3"_s.arg(laptop.pixels.width())
                                .arg(laptop.pixels.height())
                                .arg(laptop.percent);
        const bool whole = inside(mainWindow, screen) && inside(pointInput, screen);
        std::printf("%s: main window at %.2f, point input window at %.2f, %s\n",
                    qPrintable(screens::name(laptop)), WindowScale::of(mainWindow)->factor(),
                    WindowScale::of(pointInput)->factor(),
                    whole ? "both inside the work area" : "NOT INSIDE THE WORK AREA");
        ok = whole && ok;
        ok = save(mainWindow->grab().toImage(), dir, u"main-"_s + tag) && ok;
        ok = save(pointInput->grab().toImage(), dir, u"pointin-"_s + tag) && ok;
        ok = save(screenPicture(laptop, screen, mainWindow, pointInput), dir, u"screen-"_s + tag) &&
             ok;
    }
    return showOn(QGuiApplication::primaryScreen(), mainWindow, pointInput, enter) && ok;
}

void demoEnvironment(const QTemporaryDir &temp)
{
    qputenv("XDG_CONFIG_HOME", temp.path().toLocal8Bit());
    QFile aliases(temp.filePath(u"aliases.ini"_s));
    if (aliases.open(QIODevice::WriteOnly))
        aliases.write("[Jump]\nDriver=SQLite\nDatabase=demo.sqlite\n");
    qputenv("TOLLIVANE_ALIASES", aliases.fileName().toLocal8Bit());
    messages::setSink([](messages::Kind, const QString &text) {
        std::printf("message: %s\n", qPrintable(text));
    });
}

} // namespace

int main(int argc, char *argv[])
{
    const QString dir =
        QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"shots"_s).absolutePath();
    QDir().mkpath(dir);
    QTemporaryDir temp;
    if (!screens::useLaptopScreens(temp.path())) {
        std::printf("cannot write the screens' configuration into %s\n", qPrintable(temp.path()));
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setStyle(u"Fusion"_s);
    demoEnvironment(temp);

    Station station;
    MainWindow *mainWindow = &station.mainWindow();
    mainWindow->show();
    CompetitionGateway *gateway = &station.gateway();
    const StationSession *session = &station.session();
    if (!waitFor([gateway, session] { return !session->connecting() && gateway->connected(); })) {
        std::printf("the demo database did not open\n");
        return 1;
    }
    Database console(u"console"_s); // the operator's side
    console.setAliasName(gateway->alias());
    for (const QString &line : gateway->params())
        console.params().add(line);
    competition::create(console);
    competition::seed(console);
    competition::step(console); // the first competitor, the run going

    bool ok = save(mainWindow, dir, "main");
    QWidget *seatTaken = named(mainWindow, "Panel2");
    seatTaken->show();
    ok = save(mainWindow, dir, "main-registered-notice") && ok;
    seatTaken->hide();

    station.session().claimSeat(); // seat A, as the judge claims it
    ok = waitFor([&station] {
             return station.existingPointInputWindow() &&
                    station.existingPointInputWindow()->isVisible();
         }) &&
         ok;
    PointInputWindow *pointInput = &station.pointInputWindow();
    const auto answered = [gateway, pointInput] {
        return gateway->idle() && !pointInput->forTests().pollInFlight();
    };
    ok = waitFor(answered) && ok;
    pointInput->forTests().pollTick();
    ok = waitFor(answered) && ok;
    ok = save(pointInput, dir, "pointin") && ok;

    const struct
    {
        QWidget *notice;
        const char *name;
    } notices[] = {
        {named(pointInput, "Panel5"), "pointin-panel5"},
        {named(pointInput, "Panel7"), "pointin-panel7"},
        {named(pointInput, "Panel9"), "pointin-panel9"},
        {named(pointInput, "Panel10"), "pointin-panel10"},
    };
    for (const auto &n : notices) {
        for (const auto &other : notices)
            other.notice->setVisible(other.notice == n.notice);
        ok = save(pointInput, dir, n.name) && ok;
    }
    for (const auto &n : notices)
        n.notice->hide();

    // An entry in progress: flight 1.5 confirmed red, landing 2, outrun 0.5.
    const auto enter = [pointInput, answered] {
        // The competitor check of the showing, then a poll that finds the run going.
        bool shown = waitFor(answered);
        pointInput->forTests().pollTick();
        shown = waitFor(answered) && shown;
        pointInput->forTests().chooseValue(PointInputWindow::Flight, 3);
        pointInput->forTests().moveToNextRow(PointInputWindow::Flight);
        pointInput->forTests().chooseValue(PointInputWindow::Landing, 4);
        pointInput->forTests().chooseValue(PointInputWindow::Outrun, 1);
        return shown;
    };
    ok = enter() && ok;
    ok = save(pointInput, dir, "pointin-entry") && ok;
    ok = shootLaptops(dir, mainWindow, pointInput, enter) && ok;

    // 確定 and はい as the judge presses them: the question, then the registered notice.
    const auto confirm = [pointInput, answered] {
        Q_EMIT qobject_cast<CuteButton *>(named(pointInput, "CuteButton10"))->clicked();
        const bool asked =
            waitFor([pointInput] { return named(pointInput, "Panel10")->isVisible(); });
        Q_EMIT qobject_cast<CuteButton *>(named(pointInput, "CuteButton4"))->clicked();
        return waitFor([pointInput, answered] {
                   return answered() && !pointInput->forTests().registering();
               }) &&
               asked;
    };
    ok = enter() && confirm() && ok;
    ok = save(pointInput, dir, "pointin-registered") && ok;

    // The health line while polls fail: the station's alias now resolves nowhere.
    gateway->setConnection(u"Offline"_s, {});
    pointInput->forTests().pollTick();
    ok = waitFor(answered) && ok;
    ok = save(pointInput, dir, "pointin-offline") && ok;

    // A registration the database does not take: the box after its 5 seconds of attempts, as
    // the judge sees it.
    messages::setSink({});
    pointInput->forTests().chooseValue(PointInputWindow::Flight, 2);
    pointInput->forTests().chooseValue(PointInputWindow::Landing, 2);
    pointInput->forTests().chooseValue(PointInputWindow::Outrun, 2);
    ok = confirm() && ok;
    QWidget *box = nullptr;
    // The report of the failed polls comes first; the judge closes it.
    ok = waitFor([&box] {
             for (QWidget *w : QApplication::topLevelWidgets()) {
                 auto *shown = qobject_cast<QMessageBox *>(w);
                 if (!shown || !shown->isVisible())
                     continue;
                 if (shown->text().startsWith(u"登録できません"_s))
                     box = shown;
                 else
                     shown->accept();
             }
             return box != nullptr;
         }) &&
         ok;
    if (box)
        ok = save(box, dir, "box-not-registered") && ok;
    return ok ? 0 : 1;
}
