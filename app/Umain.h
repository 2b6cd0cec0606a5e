#pragma once

#include <QWidget>

class CompetitionGateway;
class QLabel;
class QPushButton;
class QRadioButton;
class TCuteButton;
class TFpointin;
class TPanel;
class TRadioGroup;

// The main window: seat choice, database profile, station settings. Its statements go
// through the gateway; it never waits for the database.
class TFmain : public QWidget
{
    Q_OBJECT
public:
    explicit TFmain(QWidget *parent = nullptr);
    ~TFmain() override;

    void setGateway(CompetitionGateway *gateway) { m_gateway = gateway; }
    void setPointInput(TFpointin *window) { m_pointInput = window; }
    // A profile's connection attempt or a seat claim is waiting for the database.
    bool connecting() const { return m_connecting > 0; }
    bool claiming() const { return m_claiming; }

    // Station settings: which profile group ("Interbase" or "MySQL") and which item ("local"
    // or "server") the station used last.
    QString DbType;
    QString DbDir;

    // Controls the handlers and tests reach by name.
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *Image3 = nullptr;
    TPanel *Panel1 = nullptr;
    TPanel *Panel2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *linfo = nullptr;
    QRadioButton *RbA = nullptr;
    QRadioButton *RbB = nullptr;
    QRadioButton *RbC = nullptr;
    QRadioButton *Rbd = nullptr;
    QRadioButton *RbE = nullptr;
    TCuteButton *CuteButton1 = nullptr;
    TCuteButton *CuteButton2 = nullptr;
    TRadioGroup *RGdb = nullptr;
    TRadioGroup *RGdbi = nullptr;
    QPushButton *BitBtn1 = nullptr;

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void RGdbiClick();
    void RGdbClick();
    void RbAEnter();
    void RbBEnter();
    void RbCEnter();
    void RbdEnter();
    void RbEEnter();
    void rbcolor();
    void CuteButton1Enter();
    void CuteButton1Exit();
    void CuteButton1Click();
    void CuteButton2Click();
    void Panel2Click();

    // The letter of the selected seat button, or an empty text when none is selected.
    QString selectedSeat() const;
    QRadioButton *seatButton(int index) const; // 0..4 for A..E

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void seatEnter(QRadioButton *seat);
    void connectProfile(const QString &alias, const QStringList &params,
                        const QStringList &fallback, int lineShown);
    void claimAnswered(const QString &error, bool claimed);

    CompetitionGateway *m_gateway = nullptr;
    TFpointin *m_pointInput = nullptr;
    bool m_shownOnce = false;
    bool m_claiming = false;
    int m_connecting = 0;
    int m_profileSerial = 0; // only the latest profile's answer changes the window
};
