#include "station_fixture.h"

#include "Udm1.h"
#include "Umain.h"
#include "Upointin.h"
#include "radiogroup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

Station::Station(const QString &aliasFile, const QByteArray &settings)
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    QFile aliases(m_dir.filePath(QStringLiteral("aliases.ini")));
    if (aliases.open(QIODevice::WriteOnly))
        aliases.write(aliasFile.toUtf8());
    qputenv("TOLLIVANE_ALIASES", aliases.fileName().toLocal8Bit());
    if (!settings.isNull()) {
        QDir().mkpath(QFileInfo(settingsPath()).absolutePath());
        QFile f(settingsPath());
        if (f.open(QIODevice::WriteOnly))
            f.write(settings);
    }
    messages::setSink([this](messages::Kind kind, const QString &text) {
        messages.append({kind, text});
    });
}

Station::~Station()
{
    stop();
    messages::setSink({});
}

bool Station::start()
{
    Fmain = new TFmain;
    Fpointin = new TFpointin(Fmain);
    Dm1 = new TDm1;
    Fmain->show();
    return QTest::qWaitFor([] {
        return Fmain->RGdbi->itemIndex() >= 0 || Fmain->RGdb->itemIndex() >= 0 ||
               !Fmain->isVisible();
    });
}

void Station::stop()
{
    if (Fmain && Fmain->isVisible())
        Fmain->close();
    delete Dm1;
    delete Fpointin;
    delete Fmain;
    Dm1 = nullptr;
    Fpointin = nullptr;
    Fmain = nullptr;
}

QString Station::settingsPath() const
{
    return m_dir.filePath(QStringLiteral("VELMOR/Tollivane/Tollivane.ini"));
}

QByteArray Station::settingsFile() const
{
    QFile f(settingsPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString sqliteAliases()
{
    QString text;
    for (const char *alias : {"Jump", "JumpLocal", "JumpServer"})
        text +=
            QStringLiteral("[%1]\nDriver=SQLite\nDatabase=jump.sqlite\n").arg(QLatin1String(alias));
    return text;
}

bool inCi()
{
    return qEnvironmentVariable("CI") == QStringLiteral("true");
}

QString firebirdDatabase()
{
    return qEnvironmentVariable("TOLLIVANE_FIREBIRD_DB");
}
