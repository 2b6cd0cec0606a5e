#include "app/logos.h"

// Drawn once by resources/app/drawlogos.cpp: loading them costs far less at start-up than
// drawing them, which needs a font of their own.
static void initResources()
{
    Q_INIT_RESOURCE(app);
}

namespace logos {

namespace {

QPixmap picture(const char16_t *name)
{
    initResources();
    return QPixmap(QString::fromUtf16(name));
}

} // namespace

QPixmap maker()
{
    return picture(u":/app/maker.png");
}

QPixmap title()
{
    return picture(u":/app/title.png");
}

QPixmap partner()
{
    return picture(u":/app/partner.png");
}

QPixmap closeMark()
{
    // Ours rather than the desktop's icon theme: looking a theme up costs about 10 ms at
    // start-up, and the mark then looks the same on every judge's PC.
    return picture(u":/app/close.png");
}

} // namespace logos
