#pragma once

#include <QList>
#include <QObject>

class QRadioButton;
class QWidget;

namespace dialogkeys {

// Marks a window for the desktop's dialog-key navigation: arrow keys move the focus among the
// focusable siblings of the focused control (tab order, wrapping, never leaving the parent),
// Tab and Shift+Tab walk the tab stops of the whole window in nested tab order, wrapping.
// The keys are taken before the focused control sees them; text edits keep their arrows.
void install(QWidget *window);

// The tab order of a control inside its parent, as the forms give it.
void setTabOrder(QWidget *w, int order);

// Nested tab order of a window: each parent's children by tab order, a child's own children
// right after it. With tabStopsOnly, only controls that take the focus by Tab and can take it now.
QList<QWidget *> tabOrderList(QWidget *window, bool tabStopsOnly);

// Sets Qt's own tab chain from the forms' tab orders.
void applyTabChain(QWidget *window);

// A radio button is a tab stop exactly while it is checked, as on the desktop.
void tabStopFollowsCheck(QRadioButton *button);

// Moves the focus as the keys would; true if a move was made. Used by the event filter.
bool moveInParent(QWidget *focused, bool forward);
bool moveInWindow(QWidget *focused, bool forward);

} // namespace dialogkeys
