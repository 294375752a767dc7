#include "Hotkeys/qt/QtMenuItem.h"

#include "platform/Event.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

namespace Hotkeys {

namespace {

struct Named {
    int qtKey;
    const char* text;
};
// Keys whose key equivalent is a glyph rather than the character they type.
constexpr Named kGlyphKeys[] = {
    {Qt::Key_Return, "\u21A9"}, {Qt::Key_Enter, "\u21A9"},    {Qt::Key_Backspace, "\u232B"}, {Qt::Key_Delete, "\u2326"},
    {Qt::Key_Escape, "\u238B"}, {Qt::Key_Tab, "\u21E5"},      {Qt::Key_Home, "\u2196"},      {Qt::Key_End, "\u2198"},
    {Qt::Key_PageUp, "\u21DE"}, {Qt::Key_PageDown, "\u21DF"}, {Qt::Key_Up, "\u2191"},        {Qt::Key_Right, "\u2192"},
    {Qt::Key_Down, "\u2193"},   {Qt::Key_Left, "\u2190"},     {Qt::Key_Space, " "},
};

std::string functionKeyText(int n) { return QString(QChar(char16_t(0xF703 + n))).toStdString(); }

std::string textForKey(int key) {
    for (const auto& g : kGlyphKeys)
        if (g.qtKey == key) return g.text;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F20) return functionKeyText(key - Qt::Key_F1 + 1);
    if (key >= 0x20 && key <= 0xFFFF && QChar(char16_t(key)).isPrint())
        return QString(QChar(char16_t(key))).toLower().toStdString();
    return {};
}

int keyForText(const std::string& text) {
    if (text.empty()) return 0;
    for (const auto& g : kGlyphKeys)
        if (text == g.text) return g.qtKey;
    for (int n = 1; n <= 20; ++n)
        if (text == functionKeyText(n)) return Qt::Key_F1 + n - 1;
    QString s = QString::fromStdString(text);
    if (s.size() != 1) return 0;
    return s.at(0).toUpper().unicode();
}

} // namespace

QtMenuItem::QtMenuItem(QAction* action) : action_(action) {}
QtMenuItem::~QtMenuItem() = default;

std::string QtMenuItem::title() const {
    if (!action_) return {};
    QString text = action_->text();
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text.toStdString();
}

std::string QtMenuItem::keyEquivalent() const {
    if (!action_ || action_->shortcut().isEmpty()) return {};
    return textForKey(action_->shortcut()[0].key());
}

std::uint64_t QtMenuItem::keyEquivalentModifierMask() const {
    if (!action_ || action_->shortcut().isEmpty()) return 0;
    const Qt::KeyboardModifiers m = action_->shortcut()[0].keyboardModifiers();
    std::uint64_t mask = 0;
    if (m & Qt::ShiftModifier) mask |= platform::ModifierShift;
    if (m & Qt::ControlModifier) mask |= platform::ModifierControl;
    if (m & Qt::AltModifier) mask |= platform::ModifierOption;
    if (m & Qt::MetaModifier) mask |= platform::ModifierCommand;
    if (m & Qt::KeypadModifier) mask |= platform::ModifierNumericPad;
    return mask;
}

void QtMenuItem::setKeyEquivalent(const std::string& keyEquivalent) {
    pendingKey_ = keyEquivalent;
    pendingMask_ = keyEquivalentModifierMask();
    apply();
}

void QtMenuItem::setKeyEquivalentModifierMask(std::uint64_t mask) {
    pendingMask_ = mask;
    apply();
}

void QtMenuItem::apply() {
    if (!action_) return;
    const int key = keyForText(pendingKey_);
    if (!key) {
        action_->setShortcut(QKeySequence());
        return;
    }
    Qt::KeyboardModifiers m;
    if (pendingMask_ & platform::ModifierShift) m |= Qt::ShiftModifier;
    if (pendingMask_ & platform::ModifierControl) m |= Qt::ControlModifier;
    if (pendingMask_ & platform::ModifierOption) m |= Qt::AltModifier;
    if (pendingMask_ & platform::ModifierCommand) m |= Qt::MetaModifier;
    action_->setShortcut(QKeySequence(QKeyCombination(m, Qt::Key(key))));
}

const Menu* QtMenuItem::submenu() const {
    if (!action_ || !action_->menu()) return nullptr;
    if (!submenu_) submenu_ = std::make_unique<QtMenu>(action_->menu());
    return submenu_.get();
}

QtMenu::QtMenu(QMenu* menu) : menu_(menu) {}
QtMenu::~QtMenu() = default;

std::vector<const MenuItem*> QtMenu::items() const {
    std::vector<const MenuItem*> out;
    if (!menu_) return out;
    const auto actions = menu_->actions();
    if (items_.size() != std::size_t(actions.size()) ||
        !std::equal(actions.begin(), actions.end(), items_.begin(),
                    [](QAction* a, const std::unique_ptr<QtMenuItem>& i) { return i->action() == a; })) {
        items_.clear();
        for (QAction* a : actions) items_.push_back(std::make_unique<QtMenuItem>(a));
    }
    for (auto& i : items_) out.push_back(i.get());
    return out;
}

} // namespace Hotkeys
