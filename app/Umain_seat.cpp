// The seat claim and release of the main window.
#include "Umain.h"

#include "Udm1.h"
#include "Upointin.h"
#include "messages.h"
#include "panel.h"
#include "statements.h"

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
        // The rows and the value texts start empty together, so that what the window shows
        // is what it would write.
        Fpointin->clearEntry();
        Fpointin->Label1->setText(seat);
        const QString letter = Fpointin->Label1->text();

        // Of two stations claiming the same seat at the same moment, one gets it and the
        // other is refused like any taken seat.
        if (!statements::claim(*Dm1->Qjudgeent, letter)) {
            Panel2->show();
            return;
        }
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
    setStatement(Dm1->Qedit, statements::releaseSeat(letter));
    Dm1->Qedit->execSQL();
}
