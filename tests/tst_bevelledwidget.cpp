// The bevel rules panels and push buttons share: the width they store and the rings they draw.
#include "controls/cutebutton.h"
#include "toolkit/panel.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TstBevelledWidget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bevelWidth_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QList<int>>("widths"); // set one after the other
        QTest::addColumn<int>("stored");
        const struct
        {
            const char16_t *name;
            QList<int> widths;
            int stored;
        } rows[] = {
            {u"created with 1", {}, 1},
            {u"3 draws three rings", {3}, 3},
            {u"0 after 3 is raised to 1", {3, 0}, 1},
            {u"-5 after 2 is raised to 1", {2, -5}, 1},
            {u"1 after 3 draws one ring", {3, 1}, 1},
        };
        for (const QString &kind : {u"Panel"_s, u"CuteButton"_s}) {
            for (const auto &r : rows) {
                const QString name = kind + u": "_s + QStringView(r.name);
                QTest::newRow(qPrintable(name)) << kind << r.widths << r.stored;
            }
        }
    }
    void bevelWidth()
    {
        QFETCH(QString, kind);
        QFETCH(QList<int>, widths);
        QFETCH(int, stored);
        QWidget host;
        BevelledWidget *w = kind == u"Panel" ? static_cast<BevelledWidget *>(new Panel(&host))
                                             : new CuteButton(&host);
        w->setGeometry(0, 0, 40, 30);
        for (int width : widths)
            w->setBevelWidth(width);
        QCOMPARE(w->bevelWidth(), stored);
        // Both rest with one raised ring in the default colours: its width is what they draw.
        const QImage img = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QPalette &pal = w->palette();
        const QRgb light = colors::toQColor(colors::clBtnHighlight, pal).rgb();
        const QRgb dark = colors::toQColor(colors::clBtnShadow, pal).rgb();
        const QRgb face = colors::toQColor(colors::clBtnFace, pal).rgb();
        const int right = img.width() - 1;
        const int bottom = img.height() - 1;
        for (int i = 0; i < stored; ++i) {
            QCOMPARE(img.pixel(i, i), light);
            QCOMPARE(img.pixel(right - i, bottom - i), dark);
        }
        QCOMPARE(img.pixel(stored, stored), face);
        QCOMPARE(img.pixel(right - stored, bottom - stored), face);
    }
};

QTEST_MAIN(TstBevelledWidget)
#include "tst_bevelledwidget.moc"
