#pragma once

#include "controls/cutebutton.h"
#include "db/competitiongateway.h"
#include "pointin/entrymodel.h"
#include "toolkit/colors.h"

#include <QDateTime>
#include <QDialog>

#include <array>

class ColumnEdit;
namespace journal {
class Writer;
}
class FittingLabel;
class Panel;
class Picture;
class QLineEdit;
class QTimer;

// The point input window: the judge's scoring terminal, shown modally with exec(). It has no
// close box and ignores Escape; only closeWindow() (End) closes it. It reads and writes the
// competition database through the gateway only, and never waits for it: requests go out,
// answers come back as events. Its controls carry the form's names as object names
// ("CuteButton10", "Panel7", "Cba05").
class PointInputWindow : public QDialog
{
    Q_OBJECT
public:
    enum Row
    {
        Flight = EntryModel::Flight,
        Landing = EntryModel::Landing,
        Outrun = EntryModel::Outrun
    };
    static constexpr int RowCount = EntryModel::RowCount;
    static constexpr int MaxColumns = 15;
    static constexpr std::array<int, RowCount> ColumnCount = EntryModel::ColumnCount;

    // How a value button looks: normal, or chosen (enlarged over its normal place). Font sizes
    // are points.
    struct Look
    {
        static constexpr int normalWidth = 56;
        static constexpr int normalHeight = 56;
        static constexpr int normalTop = 32;
        static constexpr int normalPoints = 20;
        static constexpr int chosenWidth = 73;
        static constexpr int chosenHeight = 73;
        static constexpr int chosenTop = 24;
        static constexpr int chosenPoints = 36;
        static constexpr TColor chosenFace = colors::clBlue;
        static constexpr TColor chosenCaption = colors::clWhite;
        static constexpr TColor normalFace = colors::clBtnFace;
        static constexpr TColor normalCaption = colors::darkBlue;
        static constexpr TColor confirmedFace = colors::clRed; // Enter moved on from the row
        static constexpr int normalLeft(int column) { return column * (normalWidth + 8) + 8; }
        static constexpr int chosenLeft(int column) { return column * (normalWidth + 8); }
    };

    explicit PointInputWindow(QWidget *parent = nullptr);
    ~PointInputWindow() override;

    // The station's gateway, and the seat it claimed (shown large in the top right corner).
    void setGateway(CompetitionGateway *gateway) { m_gateway = gateway; }
    // Where every registration outcome is recorded before the window shows it.
    void setJournal(journal::Writer *journal) { m_journal = journal; }
    void setSeat(const QString &letter);
    // Where the main window puts the seat letter whenever a seat button takes the focus.
    void placeSeatLetter();

    // The judge's entry, and the value texts a registration writes ("0" for a row without a
    // choice).
    const EntryModel &entry() const { return m_entry; }
    QString valueText(int row) const { return m_entry.valueText(row); }
    // The judge chooses a value, as a focus on its button does.
    void chooseValue(int row, int column);
    void resetRow(int row);
    // Empties the entry: no row shows a choice, every value text is "0".
    void clearEntry();
    // Enter on a row: its choice turns red and the next row's choice (or its first value)
    // takes the focus.
    void moveToNextRow(int row);

    // Polling: started by the seat claim; a tick asks the gateway whether the competitor
    // changed, unless a poll is still on its way.
    void startPolling();
    void pollTick();
    // Something is waiting for the gateway: a poll, or a registration.
    bool pollInFlight() const { return m_pollInFlight; }
    bool registering() const { return m_registering; }

    // Closes the window for real (End); exec() returns.
    void closeWindow();
    // Escape and the window manager's close request change nothing.
    void reject() override;

    // The value buttons by row and column; columns past a row's count are null.
    CuteButton *valueButton(int row, int column) const { return m_valueButtons[row][column]; }
    // A caption size in points as a pixel height, as on a 96 dpi desktop.
    static int pointsToPixels(int points);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // Building (pointinputwindow_layout.cpp).
    void createControls();
    void createValueButtons();
    void bindHandlers();
    void placeAtCreation();
    void centreOverMainWindow();

    // The entry (pointinputwindow_entry.cpp).
    void drawRow(int row);
    int chosenCaptionPoints(int row, int column) const;
    void setCaptionPoints(CuteButton *button, int points);
    void showStored(int row, int column);
    void confirmRow(int row);
    void rowKeyDown(int row, quint16 key);
    void flightZeroClicked();
    void showMark();

    // Following the run (pointinputwindow_poll.cpp).
    void prepareShowing();
    void checkCompetitor(bool checkOnly);
    void pollAnswered(const CompetitionGateway::Answer<gateway::PollResult> &answer, bool fromShow);
    void loadCompetitor(const gateway::PollResult &result);
    void showRegisteredMarks(const std::array<QString, RowCount> &marks);
    void showRound(const QString &round);
    void focusValue(int row, int column);
    void reportPollFailure(const QString &text);
    void reportOnceDrawn(const QString &text);
    void start();
    void end();
    void showDiagnostic();

    // Confirming and registering (pointinputwindow_register.cpp).
    void confirm();
    void answerYes();
    void answerNo();
    void answerFocused(CuteButton *answer);
    void hideQuestion();
    void showRegistering();
    // What はい sent: the competitor on display and the marks.
    struct Registering
    {
        QString zek, round, name;
        gateway::Marks marks;
    };
    void registrationAnswered(gateway::Registration outcome, const Registering &sent);
    void record(gateway::Registration outcome, const Registering &sent);

    // The connection's health line: the last good answer, or since when none came.
    void answered(bool good);
    void showHealth();

    CompetitionGateway *m_gateway = nullptr;
    QString m_seat;
    EntryModel m_entry;
    int m_session = 0;           // answers of an earlier showing are dropped
    bool m_pollInFlight = false; // at most one poll at a time
    bool m_registering = false;  // はい is waiting for its outcome
    bool m_ending = false;       // End is waiting for the seat's release
    bool m_closing = false;
    bool m_drawn = false;               // painted since it was last shown
    bool m_pollFailureReported = false; // a lasting poll failure is reported once
    QString m_loadedZek;                // the bib of the competitor on display, as read
    QString m_loadedRound;              // its round, as read
    journal::Writer *m_journal = nullptr;
    bool m_journalFailureTold = false; // a journal that cannot be written is told once
    QDateTime m_lastGoodAnswer;        // the database answered a poll or a registration
    QDateTime m_failingSince;          // no answer since then
    QString m_pendingReport;           // a failure to tell once the window is drawn

    // The controls the window changes after building (object names in the comments).
    FittingLabel *m_seatLetter = nullptr;            // Label1
    FittingLabel *m_round = nullptr;                 // Label9
    FittingLabel *m_noticeEnglish = nullptr;         // Label21
    FittingLabel *m_noticeJapanese = nullptr;        // Label22
    FittingLabel *m_trialText = nullptr;             // Label26
    Picture *m_diagnosticPicture = nullptr;          // Image2
    Panel *m_confirmPanel = nullptr;                 // Panel4
    Panel *m_notice = nullptr;                       // Panel5: registering, registered
    Panel *m_notReadyNotice = nullptr;               // Panel7
    Panel *m_trialPanel = nullptr;                   // Panel9
    Panel *m_questionPanel = nullptr;                // Panel10
    FittingLabel *m_healthLine = nullptr;            // healthLine: the connection at a glance
    QLineEdit *m_bib = nullptr;                      // Edit1
    QLineEdit *m_name = nullptr;                     // Edit2
    QLineEdit *m_team = nullptr;                     // Edit3
    QLineEdit *m_markField = nullptr;                // Edit4
    QLineEdit *m_diagnostic = nullptr;               // Edit6
    CuteButton *m_startButton = nullptr;             // CuteButton2
    CuteButton *m_endButton = nullptr;               // CuteButton3
    CuteButton *m_yesButton = nullptr;               // CuteButton4
    CuteButton *m_noButton = nullptr;                // CuteButton5
    CuteButton *m_confirmButton = nullptr;           // CuteButton10
    std::array<ColumnEdit *, 12> m_referenceEdits{}; // DBEdit1 to DBEdit12
    QTimer *m_pollTimer = nullptr;                   // recallTimer
    QTimer *m_registeredTimer = nullptr;             // Timer1
    std::array<std::array<CuteButton *, MaxColumns>, RowCount> m_valueButtons{};
};
