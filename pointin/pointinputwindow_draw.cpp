// Drawing the judge session: the rows and the mark, the competitor, the notices, the question
// and the connection's health. Nothing here changes the session.
#include "pointin/pointinputwindow.h"

#include "pointin/columnedit.h"
#include "pointin/stationtexts.h"
#include "toolkit/fittinglabel.h"
#include "toolkit/fonts.h"
#include "toolkit/panel.h"

#include <QApplication>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QTimer>

using namespace Qt::StringLiterals;

void PointInputWindow::setCaptionPoints(CuteButton *button, int points)
{
    // Setting a font, even an equal one, makes Qt resolve it again: costly on 37 buttons.
    const int pixels = pointsToPixels(points);
    if (button->font().pixelSize() == pixels)
        return;
    QFont f = button->font();
    f.setPixelSize(pixels);
    button->setFont(f);
}

int PointInputWindow::chosenCaptionPoints(int row, int column) const
{
    if (row == Outrun)
        return 30;
    // Flight 2.5, 3.5 and 4.5
    if (row == Flight && (column == 5 || column == 7 || column == 9))
        return 28;
    return Look::chosenPoints;
}

// The row's buttons as the entry says: one enlarged at most, in the look it was chosen with.
void PointInputWindow::drawRow(int row)
{
    const EntryModel::RowState &state = entry().row(row);
    for (int i = 0; i < ColumnCount[row]; ++i) {
        CuteButton *b = m_valueButtons[row][i];
        if (i != state.column) {
            b->setColor(Look::normalFace);
            b->setFontColor(Look::normalCaption);
            b->setGeometry(Look::normalLeft(i), Look::normalTop, Look::normalWidth,
                           Look::normalHeight);
            setCaptionPoints(b, Look::normalPoints);
            continue;
        }
        const bool grown = state.look == EntryModel::Look::Grown;
        TColor face = grown ? Look::normalFace : Look::chosenFace;
        if (state.confirmed)
            face = Look::confirmedFace;
        b->setColor(face);
        b->setFontColor(grown ? Look::normalCaption : Look::chosenCaption);
        // Grown in place: the normal left edge kept, larger to the right and downwards.
        b->setGeometry(grown ? Look::normalLeft(i) : Look::chosenLeft(i), Look::chosenTop,
                       Look::chosenWidth, Look::chosenHeight);
        setCaptionPoints(b, state.look == EntryModel::Look::Chosen ? chosenCaptionPoints(row, i)
                                                                   : Look::chosenPoints);
    }
}

void PointInputWindow::drawMark()
{
    const QString mark = entry().markText();
    if (m_markField->text() != mark)
        m_markField->setText(mark);
}

void PointInputWindow::drawCompetitor()
{
    const Competitor &c = *m_session.competitor();
    m_trialPanel->setVisible(!c.trialText.isEmpty());
    if (!c.trialText.isEmpty())
        m_trialText->setCaption(c.trialText);
    m_bib->setText(c.bibShown);
    m_name->setText(c.name);
    m_team->setText(c.team);
    m_startButton->setFocus();
    const QString reference = m_session.referenceStatement();
    if (m_diagnostic->text() != reference)
        m_diagnostic->setText(reference);
    for (ColumnEdit *edit : m_referenceEdits)
        edit->showRow(m_session.reference());
    drawMark();
    drawRound();
}

void PointInputWindow::drawRound()
{
    // Round X: the operator is not ready; the round on display stays.
    const Round &round = m_session.competitor()->round;
    if (!round.notReady())
        m_round->setCaption(round.label());
}

void PointInputWindow::drawNotice()
{
    using Notice = JudgeSession::Notice;
    using stationtexts::Text;
    struct Look
    {
        Notice notice;
        TColor face;
        Text english;
        Text japanese;
    };
    static constexpr Look looks[] = {
        {Notice::Registering, colors::clYellow, Text::RegisteringEnglish,
         Text::RegisteringJapanese},
        {Notice::Registered, colors::clAqua, Text::RegisteredEnglish, Text::RegisteredJapanese},
        {Notice::AlreadyRegistered, colors::clYellow, Text::RegisteredEnglish,
         Text::AlreadyRegisteredJapanese},
        {Notice::Checking, colors::clYellow, Text::CheckingEnglish, Text::CheckingJapanese},
    };
    const Notice notice = m_session.notice();
    m_notice->setVisible(notice != Notice::None);
    for (const Look &l : looks) {
        if (l.notice != notice)
            continue;
        m_notice->setColor(l.face);
        m_noticeEnglish->setCaption(stationtexts::text(l.english));
        m_noticeJapanese->setCaption(stationtexts::text(l.japanese));
    }
    drawHealth();
}

void PointInputWindow::drawOperatorReady()
{
    m_notReadyNotice->setVisible(!m_session.operatorReady());
}

void PointInputWindow::drawQuestion()
{
    if (m_session.asking()) {
        m_questionPanel->show();
        m_yesButton->setFocus();
        return;
    }
    // Hiding the focused answer would pass the focus on to the next control, and a value
    // button taking it would be chosen: the window itself keeps the focus instead. While a box
    // or another window is active, the answer is this window's focus all the same, taken up
    // again when it comes back.
    if (m_questionPanel->isAncestorOf(QApplication::focusWidget()) ||
        m_questionPanel->isAncestorOf(focusWidget()))
        setFocus(Qt::OtherFocusReason);
    m_questionPanel->hide();
}

void PointInputWindow::drawHealth()
{
    const JudgeSession::Health &health = m_session.health();
    QString text;
    TColor colour = colors::darkBlue;
    if (health.registering) {
        text = u"… 登録中 Registering"_s;
        colour = colors::clBlue;
    } else if (health.failingSince.isValid()) {
        text = u"× 未接続 Offline since "_s + health.failingSince.toString(u"HH:mm:ss"_s);
        colour = colors::clRed;
    } else if (health.lastGoodAnswer.isValid()) {
        text = u"● 接続中 Connected "_s + health.lastGoodAnswer.toString(u"HH:mm:ss"_s);
    }
    if (m_healthLine->text() != text)
        m_healthLine->setCaption(text);
    // A palette change restyles the label: only when the colour changes.
    if (m_healthLine->palette().color(QPalette::WindowText) != colors::toQColor(colour))
        fonts::setTextColour(m_healthLine, colour);
}

// The session chose the value already: the focus follows without choosing it again. While
// another window is active the focus only moves when this one comes back.
void PointInputWindow::focusValue(int row, int column)
{
    const QScopedValueRollback following(m_focusFromSession, true);
    m_valueButtons[row][column]->setFocus(Qt::OtherFocusReason);
}
