// Both windows on the screens of today's laptops at Windows' display scales, opened there or
// moved there from another monitor: whole inside the work area, every control where the design
// has it (at the window's factor), its text at the scaled size, nothing covered that the design
// leaves free.
#include "app/mainwindow.h"
#include "app/stationsession.h"
#include "pointin/judgesession.h"
#include "pointin/pointinputwindow.h"
#include "toolkit/inifile.h"
#include "tools/screens.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using screens::Laptop;

Q_DECLARE_METATYPE(Laptop)

namespace {

// A station's two windows, the point input window shown over the main window.
struct Windows
{
    StationSession session;
    JudgeSession judging;
    MainWindow main{session};
    PointInputWindow pointInput{judging, &main};

    void show(QScreen *screen)
    {
        main.move(screen->availableGeometry().topLeft()); // where a window of the screen starts
        main.setScreen(screen);
        main.show();
        pointInput.forTests().chooseValue(PointInputWindow::Flight, 3); // chosen looks too
        pointInput.forTests().chooseValue(PointInputWindow::Outrun, 1);
        pointInput.show();
        // The notices the windows show at times, at their places.
        for (const char *notice : {"Panel5", "Panel9", "Panel10"})
            pointInput.findChild<QWidget *>(QLatin1StringView(notice))->show();
    }
    QList<QWidget *> both() { return {&main, &pointInput}; }
};

// A control as its window shows it.
struct Shown
{
    QRect rect; // in the window
    int fontPixels;
    QSize inWindow; // the part of it inside the window
    QString onTop;  // the control a click on its centre reaches
    bool fitsText;  // a label: its size follows its text in the font at hand
};

QHash<QString, Shown> shownControls(QWidget *window)
{
    QHash<QString, Shown> all;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->objectName().isEmpty() || w->window() != window || !w->isVisibleTo(window))
            continue;
        const QRect r(w->mapTo(window, QPoint()), w->size());
        const QWidget *top = window->childAt(r.center());
        all.insert(w->objectName(),
                   {r, w->font().pixelSize(), (r & window->rect()).size(),
                    top ? top->objectName() : QString(), qobject_cast<QLabel *>(w) != nullptr});
    }
    return all;
}

// A desktop's frame at 96 dpi: a window must fit the work area in it.
constexpr QMargins s_frame(8, 31, 8, 8);

bool near(int actual, qreal expected, qreal tolerance)
{
    return qAbs(actual - expected) <= tolerance;
}

} // namespace

class TestScreens : public QObject
{
    Q_OBJECT

    // The windows at their design size, on the Full HD screen at 100 %.
    QHash<QString, Shown> m_design[2];
    const QSize m_designSize[2] = {{706, 511}, {974, 656}};

    // The factor a window is drawn at, from its size.
    qreal factorOf(QWidget *window, int i) const
    {
        return qRound(100.0 * window->width() / m_designSize[i].width()) / 100.0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Windows w;
        w.show(QGuiApplication::primaryScreen());
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(w.both()[i]->size(), m_designSize[i]);
            m_design[i] = shownControls(w.both()[i]);
        }
        QVERIFY(m_design[0].size() > 15 && m_design[1].size() > 70);
    }

    void windowsFitTheWorkArea_data()
    {
        QTest::addColumn<Laptop>("laptop");
        QTest::addColumn<bool>("moved");
        for (const Laptop &laptop : screens::laptops()) {
            const QByteArray name = screens::name(laptop).toUtf8();
            QTest::newRow(QByteArray("opened on " + name).constData()) << laptop << false;
            QTest::newRow(QByteArray("moved onto " + name + " from another monitor").constData())
                << laptop << true;
        }
    }
    void windowsFitTheWorkArea()
    {
        QFETCH(Laptop, laptop);
        QFETCH(bool, moved);
        QScreen *screen = screens::screenOf(laptop);
        QVERIFY(screen);
        const QRect work = screen->availableGeometry();
        Windows w;
        w.show(moved ? QGuiApplication::primaryScreen() : screen);
        if (moved) {
            for (QWidget *window : w.both())
                window->move(work.topLeft()); // the judge drags it there
            // The window system's moves, then the scales that follow them.
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        }
        for (int i = 0; i < 2; ++i) {
            QWidget *window = w.both()[i];
            QCOMPARE(window->screen(), screen);
            QCOMPARE(window->devicePixelRatioF(), laptop.percent / 100.0); // drawn in its pixels
            const QRect outer(window->frameGeometry().topLeft(), window->size().grownBy(s_frame));
            QVERIFY2(work.contains(outer), qPrintable(window->objectName()));
            // Scaled down only as far as it must: a little larger would not fit.
            const qreal f = qreal(window->width()) / m_designSize[i].width();
            QVERIFY(near(window->height(), m_designSize[i].height() * f, 1));
            const QSize larger = (m_designSize[i] * (f + 0.02)).grownBy(s_frame);
            QVERIFY(f == 1 || larger.width() > work.width() || larger.height() > work.height());
            const QHash<QString, Shown> now = shownControls(window);
            for (auto d = m_design[i].cbegin(); d != m_design[i].cend(); ++d) {
                const QByteArray what = d.key().toUtf8();
                QVERIFY2(now.contains(d.key()), what);
                const Shown &n = now[d.key()];
                const qreal edge = d->fitsText ? 2 + 0.1 * d->rect.width() * f : 2;
                QVERIFY2(near(n.rect.left(), d->rect.left() * f, edge) &&
                             near(n.rect.top(), d->rect.top() * f, 2) &&
                             near(n.rect.right(), d->rect.right() * f, edge) &&
                             near(n.rect.bottom(), d->rect.bottom() * f, d->fitsText ? 4 : 2),
                         what);
                QVERIFY2(near(n.inWindow.width(), d->inWindow.width() * f, edge) &&
                             near(n.inWindow.height(), d->inWindow.height() * f, 4),
                         what);
                QVERIFY2(near(n.fontPixels, d->fontPixels * f, 1), what);
                QCOMPARE(n.onTop, d->onTop);
            }
        }
    }

    void scaleSetByHand_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<int>("percent"); // of a 1920 x 1080 screen
        QTest::addColumn<qreal>("mainFactor");
        QTest::addColumn<qreal>("pointInputFactor");
        QTest::newRow("no setting: each window fits") << QByteArray() << 175 << 1.0 << 0.8;
        QTest::newRow("auto") << QByteArray("Scale=auto") << 175 << 1.0 << 0.8;
        QTest::newRow("a factor") << QByteArray("Scale=0.75") << 100 << 0.75 << 0.75;
        QTest::newRow("a percentage") << QByteArray("scale = 70 %") << 150 << 0.7 << 0.7;
        QTest::newRow("too large to fit: from the work area's top left")
            << QByteArray("Scale=100%") << 200 << 1.0 << 1.0;
        QTest::newRow("out of range: fits") << QByteArray("Scale=5") << 200 << 0.88 << 0.69;
        QTest::newRow("not a number: fits") << QByteArray("Scale=big") << 100 << 1.0 << 1.0;
    }
    void scaleSetByHand()
    {
        QFETCH(QByteArray, setting);
        QFETCH(int, percent);
        QFETCH(qreal, mainFactor);
        QFETCH(qreal, pointInputFactor);
        const QString file = settings::stationFiles().user;
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        QFile ini(file);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Tollvn]\nDbType=Interbase\n" + setting + '\n');
        ini.close();
        QScreen *screen = screens::screenOf({QSize(1920, 1080), percent});
        const auto windows = std::make_unique<Windows>();
        QVERIFY(QFile::remove(file));
        windows->show(screen);
        QCOMPARE(factorOf(&windows->main, 0), mainFactor);
        QCOMPARE(factorOf(&windows->pointInput, 1), pointInputFactor);
        for (QWidget *window : windows->both()) // never off the screen
            QVERIFY(screen->availableGeometry().contains(window->frameGeometry().topLeft()));
    }
};

int main(int argc, char *argv[])
{
    QTemporaryDir folder;
    if (!folder.isValid() || !screens::useLaptopScreens(folder.path()))
        qFatal("cannot write the screens' configuration");
    // No settings of the user's: each row writes its own.
    for (const char *home : {"XDG_CONFIG_HOME", "APPDATA"})
        qputenv(home, folder.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestScreens test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screens.moc"
