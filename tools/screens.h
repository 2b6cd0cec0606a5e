#pragma once

#include <QList>
#include <QRect>
#include <QString>

class QScreen;

// The screens of the laptops a club's judges bring, as Qt sees them at Windows' display
// scales: the window tests and the pictures of the windows put the windows on them, on the
// offscreen platform, all at once, side by side (moving a window to another is moving it to
// another monitor).
namespace screens {

struct Laptop
{
    QSize pixels; // the panel's
    int percent;  // Windows' scale
    bool operator==(const Laptop &) const = default;
};

// Windows 11's taskbar, in scaled pixels: the work area is the screen above it.
constexpr int taskbarHeight = 48;

// 1366 x 768 and 1920 x 1080, each at 100, 125, 150, 175 and 200 %.
QList<Laptop> laptops();
QString name(const Laptop &laptop); // "1920x1080 at 150 %"
// The screen of a laptop on the offscreen platform; null before useLaptopScreens().
QScreen *screenOf(const Laptop &laptop);

// Before the application is made: the offscreen platform with a Full HD screen at 100 % first
// (the primary one) and every laptop's work area beside it. The platform's configuration file
// goes into the folder, which becomes the current one (the platform's argument would take a
// drive letter's colon for its own separator).
bool useLaptopScreens(const QString &folder);

} // namespace screens
