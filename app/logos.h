#pragma once

#include <QPixmap>

// Our own pictures, drawn at their design sizes.
namespace logos {
QPixmap maker();     // 330 x 129, the maker's mark
QPixmap title();     // 495 x 125, the product title in yellow on black
QPixmap partner();   // 95 x 49, a partner's mark
QPixmap closeMark(); // 16 x 16, the cross of a close button
} // namespace logos
