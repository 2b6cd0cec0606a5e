#pragma once

#include <QWidget>

#include <array>

class CuteButton;
class Panel;
class PointInputWindow;
class QLabel;
class QRadioButton;
class RadioGroup;
class StationSession;

// The main window: seat choice, database profile. It draws the station session under it and
// passes the judge's clicks to it; it runs no statement and decides no flow. Its controls
// carry the form's names as object names ("RbA", "CuteButton1", "RGdbi").
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(StationSession &session, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The point input window once it is built: a seat button's focus places its seat letter.
    void setPointInput(PointInputWindow *window);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createSeats();
    void createProfileGroups();
    void followSession();
    void firstShown();
    void seatFocused(QRadioButton *seat);

    // Drawing the session.
    void drawSeat();
    void drawProfile();
    void drawConnectionLine();
    void drawNotice();

    StationSession &m_session;
    PointInputWindow *m_pointInput = nullptr;
    bool m_seatLetterPlaced = false; // a seat button had the focus: the letter moved
    bool m_shownOnce = false;

    Panel *m_seatPanel = nullptr;              // Panel1
    Panel *m_seatTakenNotice = nullptr;        // Panel2
    QLabel *m_connectionLine = nullptr;        // linfo
    std::array<QRadioButton *, 5> m_seats{};   // RbA, RbB, RbC, Rbd, RbE
    CuteButton *m_confirmSeat = nullptr;       // CuteButton1
    RadioGroup *m_mysqlProfiles = nullptr;     // RGdb
    RadioGroup *m_interbaseProfiles = nullptr; // RGdbi
};
