#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class CompetitionGateway;
class CuteButton;
class Panel;
class PointInputWindow;
class QLabel;
class QRadioButton;
class RadioGroup;

// The main window: seat choice, database profile, station settings. Its statements go
// through the gateway; it never waits for the database. Its controls carry the form's names
// as object names ("RbA", "CuteButton1", "RGdbi").
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void setGateway(CompetitionGateway *gateway) { m_gateway = gateway; }
    // Builds the point input window when it is first needed (the first seat claim).
    void setPointInputFactory(std::function<PointInputWindow *(QWidget *parent)> factory)
    {
        m_pointInputFactory = std::move(factory);
    }
    PointInputWindow *pointInput(); // built now if it was not yet
    // A profile's connection attempt is waiting for the database.
    bool connecting() const { return m_connecting > 0; }

    // Station settings: which profile group ("Interbase" or "MySQL") and which item ("local"
    // or "server") the station used last.
    QString dbType() const { return m_dbType; }
    QString dbDir() const { return m_dbDir; }

    // The connection of the profile the settings remember: what the first show selects.
    static std::pair<QString, QStringList> rememberedConnection();

    // The letter of the selected seat button, or an empty text when none is selected.
    QString selectedSeat() const;

    // 確認: claims the selected seat and shows the point input window.
    void claimSeat();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createSeats();
    void createProfileGroups();
    struct Settings
    {
        QString dbType, dbDir;
    };
    static Settings readSettings();
    void loadSettings();
    void saveSettings();
    void selectRememberedProfile();
    void interbaseProfileChosen();
    void mysqlProfileChosen();
    void connectProfile(const QString &alias, const QStringList &params,
                        const QStringList &fallback, int lineShown);
    void seatFocused(QRadioButton *seat);
    void claimAnswered(const QString &seat, const QString &error, bool claimed);
    void releaseRefusedSeat();

    CompetitionGateway *m_gateway = nullptr;
    PointInputWindow *m_pointInput = nullptr;
    std::function<PointInputWindow *(QWidget *parent)> m_pointInputFactory;
    bool m_seatLetterPlaced = false; // a seat button had the focus: the letter moved
    QString m_dbType;
    QString m_dbDir;
    bool m_shownOnce = false;
    bool m_claiming = false;
    int m_connecting = 0;
    int m_profileSerial = 0; // only the latest profile's answer changes the window
    QString m_refusedSeat;   // the seat the yellow notice stands for

    Panel *m_seatPanel = nullptr;              // Panel1
    Panel *m_seatTakenNotice = nullptr;        // Panel2
    QLabel *m_connectionLine = nullptr;        // linfo
    std::array<QRadioButton *, 5> m_seats{};   // RbA, RbB, RbC, Rbd, RbE
    CuteButton *m_confirmSeat = nullptr;       // CuteButton1
    RadioGroup *m_mysqlProfiles = nullptr;     // RGdb
    RadioGroup *m_interbaseProfiles = nullptr; // RGdbi
};
