// Renders the terminal's windows offscreen to PNG files, to look at them:
//   tollivane-shots <folder>
// The station runs on a demo competition of its own in a temporary folder (the user's settings
// and alias file are not touched): the main window, the point input window with a competitor,
// and the point input window with each notice shown alone.
#include "CuteBtn.h"
#include "Umain.h"
#include "Upointin.h"
#include "competition.h"
#include "competitiongateway.h"
#include "dbengine.h"
#include "messages.h"
#include "panel.h"
#include "radiogroup.h"
#include "station.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

bool save(QWidget *w, const QString &dir, const char *name)
{
    const QString path = dir + u'/' + QLatin1String(name) + QStringLiteral(".png");
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

void demoEnvironment(const QTemporaryDir &temp)
{
    qputenv("XDG_CONFIG_HOME", temp.path().toLocal8Bit());
    QFile aliases(temp.filePath(QStringLiteral("aliases.ini")));
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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots");
    QDir().mkpath(dir);
    QTemporaryDir temp;
    demoEnvironment(temp);

    station::create();
    Fmain->show();
    CompetitionGateway *gateway = station::gateway();
    if (!QTest::qWaitFor([gateway] { return !Fmain->connecting() && gateway->connected(); })) {
        std::printf("the demo database did not open\n");
        return 1;
    }
    TDatabase console(QStringLiteral("console")); // the operator's side
    console.setAliasName(gateway->alias());
    for (const QString &line : gateway->params())
        console.params().add(line);
    competition::create(console);
    competition::seed(console);
    competition::step(console); // the first competitor, the run going

    bool ok = save(Fmain, dir, "main");
    Fmain->Panel2->show();
    ok = save(Fmain, dir, "main-registered-notice") && ok;
    Fmain->Panel2->hide();

    Fpointin->setSeat(QStringLiteral("A"));
    Fpointin->show();
    const auto answered = [gateway] { return gateway->idle() && !Fpointin->pollInFlight(); };
    ok = QTest::qWaitFor(answered) && ok;
    Fpointin->recallTimerTimer();
    ok = QTest::qWaitFor(answered) && ok;
    ok = save(Fpointin, dir, "pointin") && ok;

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
        ok = save(Fpointin, dir, n.name) && ok;
    }
    for (const auto &n : notices)
        n.notice->hide();

    // An entry in progress: flight 1.5 confirmed red, landing 2, outrun 0.5.
    Fpointin->Cba15Enter();
    Fpointin->cbonext();
    Fpointin->cbo20Enter();
    Fpointin->cbl05Enter();
    ok = save(Fpointin, dir, "pointin-entry") && ok;

    station::destroy();
    return ok ? 0 : 1;
}
