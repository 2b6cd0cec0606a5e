// The windows' font family "ＭＳ Ｐゴシック" resolves to a Japanese gothic: on Linux through
// fontconfig's alias, on Windows it is the system's own (under Wine the replacement its
// registry names). A fallback font would lack the kana and kanji.
#include "toolkit/fonts.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>

using namespace Qt::StringLiterals;

class TstFonts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void japaneseGlyphs_data()
    {
        QTest::addColumn<int>("pixels");
        QTest::addColumn<bool>("bold");
        // Sizes and weights the windows use: captions, row titles, notices, the mark.
        QTest::newRow("12 px") << 12 << false;
        QTest::newRow("19 px bold") << 19 << true;
        QTest::newRow("23 px bold") << 23 << true;
        QTest::newRow("48 px bold") << 48 << true;
    }
    void japaneseGlyphs()
    {
        QFETCH(int, pixels);
        QFETCH(bool, bold);
        const QFont font = fonts::make(pixels, bold);
        const QFontMetrics metrics(font);
        for (const QChar c : u"登録中です。空中着地ｱｳﾄﾗﾝジャッジＡ確定"_s)
            QVERIFY2(metrics.inFont(c),
                     qPrintable(u"%1 lacks %2"_s.arg(QFontInfo(font).family(), c)));
        // A proportional font, as the family's "P" says: the forms' widths were laid out so.
        QVERIFY(metrics.horizontalAdvance(u"iiii"_s) < metrics.horizontalAdvance(u"MMMM"_s));
    }
};

QTEST_MAIN(TstFonts)
#include "tst_fonts.moc"
