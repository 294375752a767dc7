#pragma once

#include <QString>

class QWidget;

namespace app::views {

class AppRowView;

// How Zelvo's own widgets appear to assistive technology (screen readers
// reach them through AT-SPI): the switcher panel as a window named "Zelvo
// switcher" that holds a list of applications, each row a list item named
// "<digit> <application name>" that is selected and focused while it is
// highlighted; the toolbar's pin and menu buttons with names; containers
// given a role and a name by the code that builds them.
//
// Nothing here runs while no assistive technology listens
// (QAccessible::isActive() is false), so switching costs the same as
// without it.

// Registers the interfaces with Qt; the first call does it, later calls
// return at once.
void installAccessibleInterfaces();

// The switcher's content view: installs the interfaces, marks `rowStack` as
// the list, and announces the panel and its highlighted row whenever the
// panel comes up.
void makeSwitcherAccessible(QWidget* contentView, QWidget* rowStack);

// A row became highlighted or lost the highlight: its selection changes and,
// when it is on screen and highlighted, it takes the accessible focus.
void announceHighlightChanged(AppRowView* row);
// A row now shows another name or digit.
void announceNameChanged(QWidget* widget);
// A checkable control changed its checked state (and with it its name).
void announceCheckedChanged(QWidget* widget);

// Presents `container` as a group (a panel in AT-SPI) named `name`, for
// controls that belong together such as the options of a choice.
void makeAccessibleGroup(QWidget* container, const QString& name);

// The accessible name of a row: "<digit> <name>" for the rows with a digit,
// the name alone from the eleventh row on.
QString accessibleRowName(const AppRowView& row);

} // namespace app::views
