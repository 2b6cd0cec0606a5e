// Confirming the marks and writing them to the judge table.
#include "Upointin.h"

#include "label.h"
#include "messages.h"
#include "panel.h"

#include <QApplication>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr TColor s_answerFocusedFace = 0x0000FFFF;    // yellow
constexpr TColor s_answerFocusedCaption = 0x00A00000; // dark blue
constexpr TColor s_answerOtherFace = 0x00400000;      // very dark blue
constexpr TColor s_answerOtherCaption = 0x00808080;   // grey
constexpr TColor s_registeredFace = 0x00FFFF00;       // aqua

} // namespace

void TFpointin::hideQuestion()
{
    // Hiding the focused answer would pass the focus on to the next control, and a value
    // button taking it would be chosen: the window itself keeps the focus instead.
    if (Panel10->isAncestorOf(QApplication::focusWidget()))
        setFocus(Qt::OtherFocusReason);
    Panel10->hide();
}

void TFpointin::CuteButton10Click()
{
    if (m_registering)
        return; // one registration at a time: its outcome comes first
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

void TFpointin::CuteButton4Click()
{
    if (!m_entry.complete() || m_registering || !m_gateway) {
        hideQuestion();
        return;
    }
    // What the rows show is what is written; the mark is computed again, not read from Edit4.
    const gateway::Marks marks{apval(), opval(), lpval(), m_entry.markText()};
    const QString zek = m_loadedZek;
    m_registering = true;
    hideQuestion();
    CuteButton10->setColor(btnColor);
    showRegistering();
    m_gateway->registerMarks(m_seat, zek, marks, this,
                             [this, zek, session = m_session](gateway::Registration outcome) {
                                 m_registering = false;
                                 if (session == m_session)
                                     registrationAnswered(outcome, zek);
                             });
}

void TFpointin::showRegistering()
{
    Panel5->setColor(colors::clYellow);
    Label21->setText(u"Now registering "_s);
    Label22->setText(u"登録中です。"_s);
    Panel5->show();
}

void TFpointin::registrationAnswered(gateway::Registration outcome, const QString &zek)
{
    using gateway::Registration;
    if (outcome == Registration::Registered && zek == m_loadedZek) {
        Timer1->start();
        Panel5->setColor(s_registeredFace);
        Panel5->show();
        Label21->setText(u"Registered"_s);
        Label22->setText(u"登録しました。"_s);
        return;
    }
    Panel5->hide();
    if (outcome == Registration::CompetitorChanged)
        messages::show(this, u"選手が変わったため、登録できませんでした。"_s);
    else if (outcome == Registration::Failed)
        // Never a banner for marks that are not in the table: the judge confirms again.
        messages::show(this, u"登録できませんでした。データベースが立ち上がっているか確認して、"
                             u"もう一度確定してください。"_s);
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
