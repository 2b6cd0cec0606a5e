// Confirming the marks and writing them to the judge table.
#include "Upointin.h"

#include "Udm1.h"
#include "label.h"
#include "messages.h"
#include "panel.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr TColor s_answerFocusedFace = 0x0000FFFF;    // yellow
constexpr TColor s_answerFocusedCaption = 0x00A00000; // dark blue
constexpr TColor s_answerOtherFace = 0x00400000;      // very dark blue
constexpr TColor s_answerOtherCaption = 0x00808080;   // grey
constexpr TColor s_registeredFace = 0x00FFFF00;       // aqua

} // namespace

QString TFpointin::markText(double mark)
{
    QString text = QString::number(mark, 'g', 15);
    if (text.size() == 1 || text.size() == 2)
        text += u".0"_s;
    return text;
}

void TFpointin::hideQuestion()
{
    // Hiding the focused answer would pass the focus on to the next control, and a value
    // button taking it would be chosen: the window itself keeps the focus instead.
    if (Panel10->isAncestorOf(QApplication::focusWidget()))
        setFocus(Qt::OtherFocusReason);
    Panel10->hide();
}

bool TFpointin::rowComplete(int row) const
{
    for (int i = 0; i < ColumnCount[row]; ++i) {
        if (valueButtons[row][i]->width() > btnWidth)
            return true;
    }
    return false;
}

void TFpointin::CuteButton10Click()
{
    if (rowComplete(Outrun) && rowComplete(Landing) && rowComplete(Flight)) {
        Panel10->show();
        CuteButton4->setFocus();
        return;
    }
    messages::show(this,
                   u"＊＊＊ ポイントの入っていない部分があります。 ＊＊＊  確認してください。"_s);
}

void TFpointin::CuteButton10Enter()
{
    CuteButton10->setColor(selColor);
    CuteButton10->setFontColor(selFontColor);
}

void TFpointin::CuteButton10Exit()
{
    CuteButton10->setColor(btnColor);
    CuteButton10->setFontColor(btnFontColor);
}

bool TFpointin::registerMarks()
{
    const double mark = 20 - ((apval.toDouble() + opval.toDouble()) + lpval.toDouble());
    TQuery *update = Dm1->Qedit;
    update->sql().clear();
    update->sql().add(u"update judge"_s + Label1->text() + u" set ap="_s + u"'"_s + apval + u"'"_s +
                      u",op="_s + u"'"_s + opval + u"',"_s);
    update->sql().add(u"lp='"_s + lpval + u"'"_s + u",tp="_s + u"'"_s + markText(mark) +
                      u"',sumi='T'"_s);
    for (int attempt = 1; attempt <= registrationAttempts; ++attempt) {
        try {
            update->execSQL();
            return true;
        } catch (const std::exception &) {
            if (attempt < registrationAttempts) {
                if (m_retryPause)
                    m_retryPause(retryPauseMs);
                else
                    QThread::msleep(retryPauseMs);
            }
        }
    }
    return false;
}

void TFpointin::CuteButton4Click()
{
    if (rowComplete(Outrun) && rowComplete(Landing) && rowComplete(Flight)) {
        if (registerMarks()) {
            Timer1->start();
            Panel5->setColor(s_registeredFace);
            Panel5->show();
            Label21->setText(u"Registered"_s);
            Label22->setText(u"登録しました。"_s);
            CuteButton10->setColor(btnColor);
        } else {
            // Never a banner for marks that are not in the table: the judge confirms again.
            hideQuestion();
            CuteButton10->setColor(btnColor);
            messages::show(this, u"登録できませんでした。データベースが立ち上がっているか確認して、"
                                 u"もう一度確定してください。"_s);
            return;
        }
    }
    hideQuestion();
}

void TFpointin::CuteButton4Enter()
{
    CuteButton4->setColor(s_answerFocusedFace);
    CuteButton4->setFontColor(s_answerFocusedCaption);
    CuteButton5->setColor(s_answerOtherFace);
    CuteButton5->setFontColor(s_answerOtherCaption);
}

void TFpointin::CuteButton5Click()
{
    hideQuestion();
}

void TFpointin::CuteButton5Enter()
{
    CuteButton5->setColor(s_answerFocusedFace);
    CuteButton5->setFontColor(s_answerFocusedCaption);
    CuteButton4->setColor(s_answerOtherFace);
    CuteButton4->setFontColor(s_answerOtherCaption);
}

// The re-entry button is never shown.
void TFpointin::CuteButton11Click() {}
void TFpointin::CuteButton11Enter() {}
void TFpointin::CuteButton11Exit() {}

// Enabled after a registration; its tick has nothing to do.
void TFpointin::Timer1Timer() {}
