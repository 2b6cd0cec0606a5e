#pragma once

#include "CuteBtn.h"
#include "colors.h"
#include "label.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>

#include "competitiongateway.h"
#include "entrymodel.h"

class QLineEdit;
class QTimer;
class TDBEdit;
class TImage;
class TPanel;

// The value buttons of the three rows: name, row, column. Column k stands for the deduction
// k / 2; the name carries ten times the deduction.
// clang-format off
#define TFPOINTIN_VALUE_BUTTONS(X)                                                                 \
    X(Cba00, 0, 0) X(Cba05, 0, 1) X(Cba10, 0, 2) X(Cba15, 0, 3) X(Cba20, 0, 4) X(Cba25, 0, 5)     \
    X(Cba30, 0, 6) X(Cba35, 0, 7) X(Cba40, 0, 8) X(Cba45, 0, 9) X(Cba50, 0, 10)                   \
    X(cbo00, 1, 0) X(cbo05, 1, 1) X(cbo10, 1, 2) X(cbo15, 1, 3) X(cbo20, 1, 4) X(cbo25, 1, 5)     \
    X(cbo30, 1, 6) X(cbo35, 1, 7) X(cbo40, 1, 8) X(cbo45, 1, 9) X(cbo50, 1, 10)                   \
    X(cbl00, 2, 0) X(cbl05, 2, 1) X(cbl10, 2, 2) X(cbl15, 2, 3) X(cbl20, 2, 4) X(cbl25, 2, 5)     \
    X(cbl30, 2, 6) X(cbl35, 2, 7) X(cbl40, 2, 8) X(cbl45, 2, 9) X(cbl50, 2, 10) X(cbl55, 2, 11)   \
    X(cbl60, 2, 12) X(cbl65, 2, 13) X(cbl70, 2, 14)
// clang-format on

// The point input window: the judge's scoring terminal, shown modally with exec(). It has no
// close box and ignores Escape; only closeWindow() (End) closes it. It reads and writes the
// competition database through the gateway only, and never waits for it: requests go out,
// answers come back as events.
class TFpointin : public QDialog
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

    explicit TFpointin(QWidget *parent = nullptr);
    ~TFpointin() override;

    // The station's gateway and the seat it claimed (shown in Label1).
    void setGateway(CompetitionGateway *gateway) { m_gateway = gateway; }
    void setSeat(const QString &letter);
    QString seat() const { return m_seat; }

    // The judge's entry; the value texts registration writes, and the round.
    const EntryModel &entry() const { return m_entry; }
    QString apval() const { return m_entry.valueText(EntryModel::Flight); }
    QString opval() const { return m_entry.valueText(EntryModel::Landing); }
    QString lpval() const { return m_entry.valueText(EntryModel::Outrun); }
    QString honval;

    // Look constants of the value buttons, set by FormCreate. Font sizes are in points.
    int btnWidth = 0;
    int btnHeight = 0;
    int btnTop = 0;
    int btnFontSize = 0;
    int selWidth = 0;
    int selHeight = 0;
    int selTop = 0;
    int selFontSize = 0;
    std::array<int, MaxColumns> btnLeft{};
    std::array<int, MaxColumns> selLeft{};
    TColor selColor = 0;
    TColor selFontColor = 0;
    TColor btnColor = 0;
    TColor btnFontColor = 0;

    // Controls the handlers reach.
    TLabel *Label1 = nullptr;
    TLabel *Label9 = nullptr;
    TLabel *Label10 = nullptr;
    TLabel *Label21 = nullptr;
    TLabel *Label22 = nullptr;
    TLabel *Label26 = nullptr;
    TLabel *Label27 = nullptr;
    TImage *Image1 = nullptr;
    TImage *Image2 = nullptr;
    TPanel *Panel1 = nullptr;
    TPanel *Panel2 = nullptr;
    TPanel *Panel3 = nullptr;
    TPanel *Panel4 = nullptr;
    TPanel *Panel5 = nullptr;
    TPanel *Panel6 = nullptr;
    TPanel *Panel7 = nullptr;
    TPanel *Panel8 = nullptr;
    TPanel *Panel9 = nullptr;
    TPanel *Panel10 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QLineEdit *Edit3 = nullptr;
    QLineEdit *Edit4 = nullptr;
    QLineEdit *Edit5 = nullptr;
    QLineEdit *Edit6 = nullptr;
    TCuteButton *CuteButton1 = nullptr;
    TCuteButton *CuteButton2 = nullptr;
    TCuteButton *CuteButton3 = nullptr;
    TCuteButton *CuteButton4 = nullptr;
    TCuteButton *CuteButton5 = nullptr;
    TCuteButton *CuteButton10 = nullptr;
    TCuteButton *CuteButton11 = nullptr;
    std::array<TDBEdit *, 12> DBEdit{}; // DBEdit[0] is DBEdit1
    QTimer *recallTimer = nullptr;
    QTimer *Timer1 = nullptr;

    // The value buttons by [row][column]; columns past a row's count are null.
    std::array<std::array<TCuteButton *, MaxColumns>, RowCount> valueButtons{};
    TCuteButton *valueButton(int row, int column) const { return valueButtons[row][column]; }
    // The caption of column k and the text choosing it stores: "0", "0.5", ... "7".
    static QString valueText(int column) { return EntryModel::caption(column); }
    // A caption size of the look constants as a pixel height, as on a 96 dpi desktop.
    static int pointsToPixels(int points);

    // Handlers.
    void FormCreate();
    void FormShow();
#define TFPOINTIN_DECLARE_ENTER(name, row, column) void name##Enter();
    TFPOINTIN_VALUE_BUTTONS(TFPOINTIN_DECLARE_ENTER)
#undef TFPOINTIN_DECLARE_ENTER
    void Cba00KeyDown(TCuteButton *Sender, quint16 &Key, TShiftState Shift);
    void cbo00KeyDown(TCuteButton *Sender, quint16 &Key, TShiftState Shift);
    void cbl00KeyDown(TCuteButton *Sender, quint16 &Key, TShiftState Shift);
    void Cba00Click();
    void CuteButton1Click();
    void CuteButton2Click();
    void CuteButton2Enter();
    void CuteButton2Exit();
    void CuteButton3Click();
    void CuteButton3Enter();
    void CuteButton3Exit();
    void CuteButton4Click();
    void CuteButton4Enter();
    void CuteButton5Click();
    void CuteButton5Enter();
    void CuteButton10Click();
    void CuteButton10Enter();
    void CuteButton10Exit();
    void CuteButton11Click();
    void CuteButton11Enter();
    void CuteButton11Exit();
    void Image2DblClick();
    void recallTimerTimer();
    void Timer1Timer();

    // Helpers of the handlers.
    void buttonrefle();
    void buttonrefle2();
    void buttonrefle3();
    void pculc();
    void cbonext();
    void cblnext();
    // Asks the gateway whether the competitor changed (with the run state unless checkOnly).
    void checkzek(bool checkOnly = false);
    // The judge chooses a value (what a focus on its button does).
    void chooseValue(int row, int column);

    // Empties the entry: no row shows a choice, every value text is "0".
    void clearEntry();

    // Closes the window for real (End); exec() returns.
    void closeWindow();
    // The window to centre over at every showing; the parent widget when none is set.
    void setCentreOver(QWidget *window);

    // Escape and the window manager's close request change nothing.
    void reject() override;

    // The mark 20 - ((flight + landing) + outrun) as shown and written: one decimal always.
    static QString markText(double mark)
    {
        return EntryModel::markText(mark);
    }
    bool rowComplete(int row) const
    {
        return m_entry.rowComplete(row);
    }
    // A poll, a registration or End is waiting for the gateway.
    bool pollInFlight() const
    {
        return m_pollInFlight;
    }
    bool registering() const
    {
        return m_registering;
    }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void createControls();
    void createValueButtons();
    void bindHandlers();
    void centreOverMainWindow();
    void resetRow(int row);
    void moveToNextRow(int row);
    void paintChosenConfirmed(int row);
    int chosenCaptionSize(int row, int column) const;
    void setCaptionSize(TCuteButton *button, int points);
    void drawRow(int row);

    void hideQuestion();
    void showChosen(int row, int column);
    void focusValue(int row, int column);
    void pollAnswered(const CompetitionGateway::Answer<gateway::PollResult> &answer, bool fromShow);
    void loadCompetitor(const gateway::PollResult &result);
    void reportPollFailure(const QString &text);
    void reportOnceDrawn(const QString &text);
    void registrationAnswered(gateway::Registration outcome, const QString &zek);
    void showRegistering();

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
    QString m_pendingReport;            // a failure to tell once the window is drawn
    QPointer<QWidget> m_centreOver;
};
