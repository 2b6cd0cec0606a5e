// Confirming the marks and writing them to the judge table.
#include "pointin/pointinputwindow.h"

#include "journal/markjournal.h"
#include "toolkit/fittinglabel.h"
#include "toolkit/messages.h"
#include "toolkit/panel.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

using namespace Qt::StringLiterals;

void PointInputWindow::hideQuestion()
{
    // Hiding the focused answer would pass the focus on to the next control, and a value
    // button taking it would be chosen: the window itself keeps the focus instead.
    if (m_questionPanel->isAncestorOf(QApplication::focusWidget()))
        setFocus(Qt::OtherFocusReason);
    m_questionPanel->hide();
}

// 確定: asks for confirmation when every row has a value.
void PointInputWindow::confirm()
{
    if (m_registering)
        return; // one registration at a time: its outcome comes first
    if (m_entry.complete()) {
        m_questionPanel->show();
        m_yesButton->setFocus();
        return;
    }
    messages::show(this,
                   u"＊＊＊ ポイントの入っていない部分があります。 ＊＊＊  確認してください。"_s);
}

void PointInputWindow::answerYes()
{
    if (!m_entry.complete() || m_registering || !m_gateway) {
        hideQuestion();
        return;
    }
    // What the rows show is what is written; the mark is computed again, not read from its
    // field.
    const Registering sent{
        m_loadedZek,
        m_loadedRound,
        m_name->text(),
        {valueText(Flight), valueText(Landing), valueText(Outrun), m_entry.markText()}};
    m_registering = true;
    // Sent first: the worker writes while the window draws the registering notice.
    m_gateway->registerMarks(m_seat, sent.zek, sent.marks, this,
                             [this, sent, session = m_session](gateway::Registration outcome) {
                                 m_registering = false;
                                 record(outcome, sent);
                                 answered(outcome != gateway::Registration::Failed);
                                 if (session == m_session)
                                     registrationAnswered(outcome, sent);
                             });
    hideQuestion();
    m_confirmButton->setColor(Look::normalFace);
    showRegistering();
    showHealth();
}

void PointInputWindow::answerNo()
{
    hideQuestion();
}

// The focused answer is yellow, the other dark.
void PointInputWindow::answerFocused(CuteButton *answer)
{
    CuteButton *other = answer == m_yesButton ? m_noButton : m_yesButton;
    answer->setColor(colors::clYellow);
    answer->setFontColor(colors::darkBlue);
    other->setColor(colors::veryDarkBlue);
    other->setFontColor(colors::clGray);
}

void PointInputWindow::showRegistering()
{
    m_notice->setColor(colors::clYellow);
    m_noticeEnglish->setText(u"Now registering "_s);
    m_noticeJapanese->setText(u"登録中です。"_s);
    m_notice->show();
}

namespace {

journal::Outcome journalOutcome(gateway::Registration outcome)
{
    switch (outcome) {
    case gateway::Registration::Registered:
        return journal::Outcome::Registered;
    case gateway::Registration::CompetitorChanged:
        return journal::Outcome::CompetitorChanged;
    case gateway::Registration::Failed:
        break;
    }
    return journal::Outcome::Failed;
}

} // namespace

// The journal holds the outcome before the window shows it.
void PointInputWindow::record(gateway::Registration outcome, const Registering &sent)
{
    if (!m_journal)
        return;
    journal::Entry entry;
    entry.time = QDateTime::currentDateTime();
    entry.seat = m_seat;
    entry.bib = sent.zek;
    entry.round = sent.round;
    entry.name = sent.name;
    entry.flight = sent.marks.flight;
    entry.landing = sent.marks.landing;
    entry.outrun = sent.marks.outrun;
    entry.mark = sent.marks.mark;
    entry.outcome = journalOutcome(outcome);
    if (m_journal->append(entry) || m_journalFailureTold)
        return;
    m_journalFailureTold = true;
    // After the outcome: the registration itself neither waits nor stops for it.
    QTimer::singleShot(0, this, [this, why = m_journal->error()] {
        messages::show(this, u"採点記録を保存できません（"_s + why +
                                 u"）。登録はこのまま続けられます。"_s);
    });
}

void PointInputWindow::registrationAnswered(gateway::Registration outcome, const Registering &sent)
{
    using gateway::Registration;
    // A poll may have loaded the next competitor meanwhile: the notice is then theirs.
    const bool stillShown = sent.zek == m_loadedZek;
    if (outcome == Registration::Registered && stillShown) {
        m_registeredTimer->start();
        m_notice->setColor(colors::clAqua);
        m_notice->show();
        m_noticeEnglish->setText(u"Registered"_s);
        m_noticeJapanese->setText(u"登録しました。"_s);
        return;
    }
    if (stillShown)
        m_notice->hide();
    if (outcome == Registration::CompetitorChanged)
        messages::show(this, u"選手が変わったため、登録できませんでした。"_s);
    else if (outcome == Registration::Failed)
        // Never a banner for marks that are not in the table: the judge confirms again.
        messages::show(this, u"登録できませんでした。データベースが立ち上がっているか確認して、"
                             u"もう一度確定してください。"_s);
}
