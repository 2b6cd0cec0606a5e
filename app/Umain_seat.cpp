// The seat claim and release of the main window.
#include "Umain.h"

#include "Udm1.h"
#include "Upointin.h"
#include "messages.h"
#include "panel.h"

#include <QLabel>
#include <QTimer>

namespace {

void setStatement(TQuery *q, const QString &text)
{
    q->sql().clear();
    q->sql().add(text);
}

} // namespace

void TFmain::CuteButton1Click()
{
    const QString seat = selectedSeat();
    if (seat.isEmpty()) {
        messages::show(this,
                       QStringLiteral(u"ジャッジ記号が選択されていません。   選択してください。"));
        return;
    }
    try {
        Fpointin->apval = QStringLiteral("0");
        Fpointin->opval = QStringLiteral("0");
        Fpointin->lpval = QStringLiteral("0");
        Fpointin->Label1->setText(seat);
        const QString letter = Fpointin->Label1->text();

        TQuery *judge = Dm1->Qjudgeent;
        setStatement(judge, u"select * from judge" + letter);
        judge->open();
        if (judge->fieldAsString(QStringLiteral("ent")) != u"False") {
            Panel2->show();
            return;
        }
        setStatement(Dm1->Qedit, u"update judge" + letter + u" set ent='True'");
        Dm1->Qedit->execSQL();
        Fpointin->recallTimer->start();
        Fpointin->exec();
    } catch (const TError &) {
        messages::show(this, QStringLiteral(u"データベースに接続できません。データベースが立ち上が"
                                            u"っているか確認してください。"));
    }
}

void TFmain::Panel2Click()
{
    const QString letter = selectedSeat();
    if (letter.isEmpty())
        return;
    setStatement(Dm1->Qedit, u"update judge" + letter + u" set ent='False'");
    Dm1->Qedit->execSQL();
}
