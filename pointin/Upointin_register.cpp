// Confirming the marks and writing them to the judge table.
#include "Upointin.h"

#include "Udm1.h"
#include "label.h"
#include "messages.h"
#include "panel.h"
#include "statements.h"

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

TFpointin::Registration TFpointin::registerMarks()
{
    const double mark = 20 - ((apval.toDouble() + opval.toDouble()) + lpval.toDouble());
    TQuery *update = Dm1->Qedit;
    update->sql().clear();
    for (const QString &line :
         statements::registration(Label1->text(), apval, opval, lpval, markText(mark), m_loadedZek))
        update->sql().add(line);
    for (int attempt = 1; attempt <= registrationAttempts; ++attempt) {
        try {
            // No row: the operator has put another competitor up; trying again cannot help.
            return update->execSQL() > 0 ? Registration::Registered
                                         : Registration::CompetitorChanged;
        } catch (const std::exception &) {
            if (attempt < registrationAttempts) {
                if (m_retryPause)
                    m_retryPause(retryPauseMs);
                else
                    QThread::msleep(retryPauseMs);
            }
        }
    }
    return Registration::Failed;
}

void TFpointin::CuteButton4Click()
{
    if (!(rowComplete(Outrun) && rowComplete(Landing) && rowComplete(Flight))) {
        hideQuestion();
        return;
    }
    const Registration outcome = registerMarks();
    hideQuestion();
    CuteButton10->setColor(btnColor);
    switch (outcome) {
    case Registration::Registered:
        Timer1->start();
        Panel5->setColor(s_registeredFace);
        Panel5->show();
        Label21->setText(u"Registered"_s);
        Label22->setText(u"登録しました。"_s);
        break;
    case Registration::CompetitorChanged:
        messages::show(this, u"選手が変わったため、登録できませんでした。"_s);
        break;
    case Registration::Failed:
        // Never a banner for marks that are not in the table: the judge confirms again.
        messages::show(this, u"登録できませんでした。データベースが立ち上がっているか確認して、"
                             u"もう一度確定してください。"_s);
        break;
    }
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
