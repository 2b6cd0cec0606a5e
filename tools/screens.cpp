#include "tools/screens.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace screens {

namespace {

// In scaled pixels, as Qt gives geometry to a program that follows each monitor's scale.
QSize workAreaSize(const Laptop &laptop)
{
    const QSize scaled = laptop.pixels * 100 / laptop.percent;
    return {scaled.width(), scaled.height() - taskbarHeight};
}

QJsonObject screen(const QString &name, const QRect &geometry, qreal dpr)
{
    return {{u"name"_s, name},
            {u"x"_s, geometry.x()},
            {u"y"_s, geometry.y()},
            {u"width"_s, geometry.width()},
            {u"height"_s, geometry.height()},
            {u"logicalDpi"_s, 96},
            {u"logicalBaseDpi"_s, 96},
            {u"dpr"_s, dpr}};
}

} // namespace

QList<Laptop> laptops()
{
    QList<Laptop> all;
    for (const QSize pixels : {QSize(1366, 768), QSize(1920, 1080)}) {
        for (const int percent : {100, 125, 150, 175, 200})
            all.append({pixels, percent});
    }
    return all;
}

QString name(const Laptop &laptop)
{
    return u"%1x%2 at %3 %"_s.arg(laptop.pixels.width())
        .arg(laptop.pixels.height())
        .arg(laptop.percent);
}

QScreen *screenOf(const Laptop &laptop)
{
    const QString wanted = name(laptop);
    for (QScreen *s : QGuiApplication::screens()) {
        if (s->name() == wanted)
            return s;
    }
    return nullptr;
}

bool useLaptopScreens(const QString &folder)
{
    QJsonArray all{screen(u"Full HD at 100 %"_s, QRect(0, 0, 1920, 1080 - taskbarHeight), 1)};
    int left = 1920;
    for (const Laptop &laptop : laptops()) {
        const QRect area(QPoint(left, 0), workAreaSize(laptop));
        all.append(screen(name(laptop), area, laptop.percent / 100.0));
        left += area.width();
    }
    const QString file = u"laptop-screens.json"_s;
    if (!QDir::setCurrent(folder))
        return false;
    QFile config(file);
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(QJsonDocument(QJsonObject{{u"screens"_s, all}}).toJson()) < 0)
        return false;
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + file.toLatin1());
    return true;
}

} // namespace screens
