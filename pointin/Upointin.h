#pragma once

#include "CuteBtn.h"
#include "colors.h"
#include "label.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <exception>
#include <functional>

class QLineEdit;
class QTimer;
class TDBEdit;
class TDataSource;
class TImage;
class TPanel;
class TQuery;

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
// close box and ignores Escape; only closeWindow() (End, a failed check) closes it.
class TFpointin : public QDialog
{
    Q_OBJECT
public:
    enum Row
    {
        Flight,
        Landing,
        Outrun
    };
    static constexpr int RowCount = 3;
    static constexpr int MaxColumns = 15;
    static constexpr std::array<int, RowCount> ColumnCount = {11, 11, 15};

    explicit TFpointin(QWidget *parent = nullptr);
    ~TFpointin() override;

    // Unit-level state: the chosen deductions as their caption texts, the round, the mark.
    QString apval;
    QString opval;
    QString lpval;
    QString honval;
    double tpval = 0;

    // The bib on display when the current competitor check began.
    QString lastzek;

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
    TDataSource *DataSource1 = nullptr;

    // The value buttons by [row][column]; columns past a row's count are null.
    std::array<std::array<TCuteButton *, MaxColumns>, RowCount> valueButtons{};
    TCuteButton *valueButton(int row, int column) const { return valueButtons[row][column]; }
    // The caption of column k and the text choosing it stores: "0", "0.5", ... "7".
    static QString valueText(int column);
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
    void checkzek();

    // Empties the entry: no row shows a choice, every value text is "0".
    void clearEntry();

    // Closes the window for real (End, a failed check); exec() returns.
    void closeWindow();
    // The window to centre over at every showing; the parent widget when none is set.
    void setCentreOver(QWidget *window);
    // Binds DataSource1 to the data module's Qtd once the data module exists.
    void linkDataSource();

    // Escape and the window manager's close request change nothing.
    void reject() override;

    // The pause between two registration attempts; tests count pauses instead of waiting.
    void setRetryPause(std::function<void(int ms)> pause)
    {
        m_retryPause = std::move(pause);
    }
    static constexpr int registrationAttempts = 10;
    static constexpr int retryPauseMs = 100;

    // The mark 20 - ((flight + landing) + outrun) as shown and written: one decimal always.
    static QString markText(double mark);
    // A row counts as chosen when one of its buttons is wider than the normal look.
    bool rowComplete(int row) const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void createControls();
    void createValueButtons();
    void bindHandlers();
    void centreOverMainWindow();
    void chooseValue(int row, int column);
    void resetRow(int row);
    void moveToNextRow(int row);
    void paintChosenConfirmed(int row);
    bool rowHasNoChoice(int row) const;
    int chosenCaptionSize(int row, int column) const;
    void setCaptionSize(TCuteButton *button, int points);
    QString &valueTextOf(int row);

    void setStatement(TQuery *query, const QString &text);
    void hideQuestion();
    void showChosen(int row, int column);
    void focusValue(int row, int column);
    int chosenColumn(int row) const;
    void reportPollFailure(const QString &text);
    void syncValueTexts();
    enum class Registration
    {
        Registered,
        CompetitorChanged,
        Failed
    };
    Registration registerMarks();

    // A new competitor as read from the database, before anything is shown.
    struct LoadedCompetitor
    {
        QString zek; // as read: the registration's condition
        QString bib; // as shown: at least three digits
        QString hon, tstno, sumi, name, team;
        QString stored[RowCount]; // ap, op, lp of the judge table
        bool registered = false;  // race was read into race[]
        QString race[RowCount];
    };
    bool sumidisp(LoadedCompetitor &c);
    void loadCompetitor(const LoadedCompetitor &c);

    bool m_closing = false;
    bool m_pollFailureReported = false; // a lasting poll failure is reported once
    QString m_loadedZek;                // the bib of the competitor on display, as read
    QString m_pendingReport;            // a failure of the show's check, told once painted
    std::function<void(int ms)> m_retryPause;
    QPointer<QWidget> m_centreOver;
};

extern TFpointin *Fpointin;
