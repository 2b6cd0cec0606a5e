#pragma once

#include "controls/cutebutton.h"
#include "pointin/entrymodel.h"
#include "pointin/judgesession.h"
#include "toolkit/colors.h"

#include <QDialog>

#include <array>

class ColumnEdit;
class FittingLabel;
class Panel;
class Picture;
class QLineEdit;

// The point input window: the judge's scoring terminal, opened modal over the main window with
// open() whenever a seat is claimed. It draws the judge session it is given and passes the
// judge's clicks and keys to it; it runs no statement and decides no flow. It has no close box
// and ignores Escape; it closes when the session releases the seat (End). Its controls carry
// the form's names as object names ("CuteButton10", "Panel7", "Cba05").
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

    explicit PointInputWindow(JudgeSession &session, QWidget *parent = nullptr);
    ~PointInputWindow() override;

    JudgeSession &session() { return m_session; }
    const JudgeSession &session() const { return m_session; }

    // Where the main window puts the seat letter whenever a seat button takes the focus.
    void placeSeatLetter();

    // Escape and the window manager's close request change nothing.
    void reject() override;

    // For tests, benchmarks and the screenshot tool only: the terminal calls none of these.
    class ForTests
    {
    public:
        // The judge's entry, and the value texts a registration writes ("0" for a row
        // without a choice).
        const EntryModel &entry() const { return m_w.m_session.entry(); }
        QString valueText(int row) const { return entry().valueText(row); }
        // The judge chooses a value, as a focus on its button does.
        void chooseValue(int row, int column) { m_w.m_session.choose(row, column); }
        void resetRow(int row) { m_w.m_session.resetRow(row); }
        void clearEntry() { m_w.m_session.clearEntry(); }
        // The seat the station claimed, shown large in the top right corner.
        void setSeat(const QString &letter) { m_w.m_session.setSeat(letter); }
        // Enter on a row.
        void moveToNextRow(int row) { m_w.moveToNextRow(row); }
        // The poll timer's tick, and whether a poll or a registration is on its way.
        void pollTick() { m_w.m_session.tick(); }
        bool pollInFlight() const { return m_w.m_session.pollInFlight(); }
        bool registering() const { return m_w.m_session.registering(); }
        // Ends the judging as End does once the seat is free, without releasing it: the
        // window closes.
        void closeWindow() { m_w.m_session.closeForTests(); }
        // The value buttons by row and column; columns past a row's count are null.
        CuteButton *valueButton(int row, int column) const
        {
            return m_w.m_valueButtons[row][column];
        }
        static int pointsToPixels(int points) { return PointInputWindow::pointsToPixels(points); }

    private:
        friend class PointInputWindow;
        explicit ForTests(PointInputWindow &w) : m_w(w) {}
        PointInputWindow &m_w;
    };
    ForTests forTests() { return ForTests(*this); }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const EntryModel &entry() const { return m_session.entry(); }
    // Enter on a row: its choice turns red and the next row's choice (or its first value)
    // takes the focus.
    void moveToNextRow(int row);
    // Closes the window for real (the seat is released).
    void closeWindow();
    // A caption size in points as a pixel height, as on a 96 dpi desktop.
    static int pointsToPixels(int points);

    // Building (pointinputwindow_layout.cpp).
    void createControls();
    void createValueButtons();
    void bindHandlers();
    void followSession();
    void placeAtCreation();
    void centreOverMainWindow();

    // Drawing the session (pointinputwindow_draw.cpp).
    void drawRow(int row);
    void drawMark();
    void drawCompetitor();
    void drawRound();
    void drawNotice();
    void drawOperatorReady();
    void drawQuestion();
    void drawHealth();
    void focusValue(int row, int column);
    int chosenCaptionPoints(int row, int column) const;
    void setCaptionPoints(CuteButton *button, int points);

    // The judge's keys and clicks (pointinputwindow.cpp).
    void rowEntered(int row);
    void flightZeroClicked();
    void answerYes();
    void answerFocused(CuteButton *answer);
    void showDiagnostic();
    void reportFailure(const QString &text);

    JudgeSession &m_session;
    bool m_closing = false;
    bool m_focusFromSession = false; // the session moves the focus: its choice is made already
    bool m_drawn = false;            // painted since it was last shown
    QString m_pendingReport;         // a failure to tell once the window is drawn

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
    std::array<std::array<CuteButton *, MaxColumns>, RowCount> m_valueButtons{};
};
