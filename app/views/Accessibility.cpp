#include "app/views/Accessibility.h"

#include "app/desktop/FloatingPanel.h"
#include "app/views/AppRowView.h"
#include "app/views/ToolbarView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QTimer>

#include <vector>

namespace app::views {

namespace {

// Dynamic properties that mark plain container widgets for the factory.
constexpr const char* kListProperty = "zelvoAccessibleList";
constexpr const char* kGroupProperty = "zelvoAccessibleGroup";

void send(QAccessibleEvent& event) { QAccessible::updateAccessibility(&event); }

// A widget-backed interface whose name, when the widget has none of its own,
// comes from `fallbackName()`.
class NamedWidget : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) return fallbackName();
        if (t == QAccessible::Description && widget()->accessibleDescription().isEmpty()) {
            QString description = fallbackDescription();
            if (!description.isEmpty()) return description;
        }
        return QAccessibleWidget::text(t);
    }

protected:
    virtual QString fallbackName() const { return QAccessibleWidget::text(QAccessible::Name); }
    virtual QString fallbackDescription() const { return {}; }
};

// One row of the switcher list. Highlighted means selected and focused: the
// application that releasing the hot key, Return or a click would switch to.
class RowAccessible : public NamedWidget {
public:
    explicit RowAccessible(AppRowView* row) : NamedWidget(row, QAccessible::ListItem) {}
    AppRowView* row() const { return static_cast<AppRowView*>(widget()); }

    QAccessible::State state() const override {
        QAccessible::State s = NamedWidget::state();
        s.selectable = true;
        s.focusable = true;
        s.selected = row()->isHighlighted();
        s.focused = row()->isHighlighted() && row()->isVisible(); // only while the panel is up
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction()) row()->activate();
    }

protected:
    QString fallbackName() const override { return accessibleRowName(*row()); }
};

// The rows' container, as the list. Its children are the rows in the order
// the list shows them (rows are reused when the order changes, so the order
// of the child widgets is not the list's).
class RowListAccessible : public NamedWidget {
public:
    explicit RowListAccessible(QWidget* stack) : NamedWidget(stack, QAccessible::List) {}

    int childCount() const override { return int(rows().size()); }
    QAccessibleInterface* child(int index) const override {
        auto all = rows();
        if (index < 0 || index >= int(all.size())) return nullptr;
        return QAccessible::queryAccessibleInterface(all[std::size_t(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child) return -1;
        auto all = rows();
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i] == child->object()) return int(i);
        return -1;
    }

protected:
    QString fallbackName() const override { return QStringLiteral("Applications"); }

private:
    std::vector<AppRowView*> rows() const {
        std::vector<AppRowView*> found;
        QLayout* layout = widget()->layout();
        if (!layout) return found;
        for (int i = 0; i < layout->count(); ++i)
            if (auto* row = dynamic_cast<AppRowView*>(layout->itemAt(i)->widget()); row && !row->isHidden())
                found.push_back(row);
        return found;
    }
};

// The switcher panel. It never takes the input focus (it holds the keyboard
// instead), so it reports itself active while it is up; that lets a screen
// reader treat it as the window the user is in.
class SwitcherWindowAccessible : public NamedWidget {
public:
    explicit SwitcherWindowAccessible(QWidget* panel) : NamedWidget(panel, QAccessible::Window) {}
    QAccessible::State state() const override {
        QAccessible::State s = NamedWidget::state();
        s.active = widget()->isVisible();
        return s;
    }

protected:
    QString fallbackName() const override { return QStringLiteral("Zelvo switcher"); }
    QString fallbackDescription() const override {
        return QStringLiteral("Tab or the arrow keys move the selection, a digit picks a row; releasing the hot "
                              "key or Return switches to the selected application, Escape closes.");
    }
};

// The toolbar's painted buttons: the pin (a toggle) and the menu.
class GlyphButtonAccessible : public NamedWidget {
public:
    explicit GlyphButtonAccessible(GlyphButton* button) : NamedWidget(button, QAccessible::Button) {}
    PinButton* pin() const { return dynamic_cast<PinButton*>(widget()); }

    QAccessible::State state() const override {
        QAccessible::State s = NamedWidget::state();
        if (auto* p = pin()) {
            s.checkable = true;
            s.checked = p->isPinned();
        } else {
            s.hasPopup = true;
        }
        return s;
    }
    QStringList actionNames() const override {
        return pin() ? QStringList{pressAction(), toggleAction()} : QStringList{pressAction(), showMenuAction()};
    }
    void doAction(const QString& name) override {
        if (name == pressAction() || name == toggleAction() || name == showMenuAction())
            static_cast<GlyphButton*>(widget())->click();
    }

protected:
    QString fallbackName() const override {
        if (auto* p = pin()) return p->isPinned() ? QStringLiteral("Unpin") : QStringLiteral("Pin");
        return QStringLiteral("Menu");
    }
    QString fallbackDescription() const override {
        if (pin()) return QStringLiteral("Keeps the switcher on screen where you put it");
        return QStringLiteral("About, updates, settings, feedback and quit");
    }
};

QAccessibleInterface* zelvoInterfaces(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) return nullptr;
    if (auto* row = dynamic_cast<AppRowView*>(widget)) return new RowAccessible(row);
    if (auto* button = dynamic_cast<GlyphButton*>(widget)) return new GlyphButtonAccessible(button);
    if (dynamic_cast<ToolbarView*>(widget)) return new QAccessibleWidget(widget, QAccessible::ToolBar);
    if (auto* panel = dynamic_cast<desktop::FloatingPanel*>(widget)) {
        if (!panel->showsWindowControls()) return new SwitcherWindowAccessible(panel);
        return new QAccessibleWidget(panel, QAccessible::Window); // named by its title
    }
    if (widget->property(kListProperty).toBool()) return new RowListAccessible(widget);
    if (widget->property(kGroupProperty).toBool()) return new QAccessibleWidget(widget, QAccessible::Grouping);
    return nullptr;
}

// The row that last took the accessible focus, so that showing the panel
// does not announce the same row twice.
QPointer<QWidget>& lastFocusedRow() {
    static QPointer<QWidget> row;
    return row;
}

void focusRow(AppRowView* row) {
    lastFocusedRow() = row;
    QAccessibleEvent focus(row, QAccessible::Focus);
    send(focus);
}

// Tells whether the panel is up: a window that turns active (or inactive).
void announceActivation(QWidget* panel) {
    QAccessible::State changed;
    changed.active = true;
    QAccessibleStateChangeEvent activation(panel, changed);
    send(activation);
}

// Watches the switcher's content view. When the panel comes up it announces
// the panel, and then, on the next turn of the event loop (the delegate moves
// the highlight right after showing the panel), the highlighted row unless
// moving the highlight has just announced it.
class SwitcherAnnouncer : public QObject {
public:
    SwitcherAnnouncer(QWidget* view, QWidget* rowStack) : QObject(view), view_(view), rowStack_(rowStack) {
        view->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != view_ || !QAccessible::isActive()) return false;
        if (event->type() == QEvent::Show) {
            lastFocusedRow() = nullptr;
            announceActivation(view_->window());
            QTimer::singleShot(0, this, [this] { focusHighlightedRow(); });
        } else if (event->type() == QEvent::Hide) {
            QTimer::singleShot(0, this, [this] {
                if (view_) announceActivation(view_->window());
            });
        }
        return false;
    }

private:
    void focusHighlightedRow() {
        if (!view_ || !rowStack_ || !view_->isVisible()) return;
        for (auto* row : rowStack_->findChildren<AppRowView*>(Qt::FindDirectChildrenOnly))
            if (row->isHighlighted() && !row->isHidden() && lastFocusedRow() != row) focusRow(row);
    }

    QPointer<QWidget> view_;
    QPointer<QWidget> rowStack_;
};

} // namespace

void installAccessibleInterfaces() {
    static const bool installed = [] {
        QAccessible::installFactory(zelvoInterfaces);
        return true;
    }();
    (void)installed;
}

void makeSwitcherAccessible(QWidget* contentView, QWidget* rowStack) {
    installAccessibleInterfaces();
    rowStack->setProperty(kListProperty, true);
    new SwitcherAnnouncer(contentView, rowStack);
}

void makeAccessibleGroup(QWidget* container, const QString& name) {
    installAccessibleInterfaces();
    container->setProperty(kGroupProperty, true);
    container->setAccessibleName(name);
}

void announceHighlightChanged(AppRowView* row) {
    if (!QAccessible::isActive()) return;
    const bool on = row->isHighlighted();
    // Qt's AT-SPI bridge reports these as the item's "selected" state change.
    QAccessibleEvent selection(row, on ? QAccessible::SelectionAdd : QAccessible::SelectionRemove);
    send(selection);
    if (on && row->isVisible()) focusRow(row);
}

void announceNameChanged(QWidget* widget) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(widget, QAccessible::NameChanged);
    send(event);
}

void announceCheckedChanged(QWidget* widget) {
    if (!QAccessible::isActive()) return;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(widget, changed);
    send(event);
    announceNameChanged(widget);
}

QString accessibleRowName(const AppRowView& row) {
    const auto& content = row.content();
    QString name = QString::fromStdString(content.name);
    if (content.badge == RowContent::Badge::Number) return QString::fromStdString(content.badgeText) + u' ' + name;
    return name;
}

} // namespace app::views
