#pragma once

#include <QtGlobal>

// Virtual key codes, the numbers the forms' key handlers work with.
namespace keys {

constexpr quint16 vkBack = 8;
constexpr quint16 vkTab = 9;
constexpr quint16 vkReturn = 13;
constexpr quint16 vkShift = 16;
constexpr quint16 vkControl = 17;
constexpr quint16 vkMenu = 18;
constexpr quint16 vkEscape = 27;
constexpr quint16 vkSpace = 32;
constexpr quint16 vkLeft = 37;
constexpr quint16 vkUp = 38;
constexpr quint16 vkRight = 39;
constexpr quint16 vkDown = 40;

// The virtual key code of a Qt key; 0 for keys without one.
quint16 fromQtKey(int qtKey);

} // namespace keys
