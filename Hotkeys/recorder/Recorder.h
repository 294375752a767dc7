#pragma once

#include "Hotkeys/recorder/RecorderField.h"

#include <QWidget>

class QLabel;

namespace Hotkeys {

// A RecorderField with an optional label in front of it, as forms embed it:
// a label widget, a title made into a text label, or no label at all.
class Recorder : public QWidget {
public:
    Recorder(Name name, RecorderField::OnChange onChange, platform::LocalEventSource& events, QWidget* label,
             QWidget* parent = nullptr);
    Recorder(Name name, RecorderField::OnChange onChange, platform::LocalEventSource& events, const QString& title,
             QWidget* parent = nullptr);
    Recorder(Name name, RecorderField::OnChange onChange, platform::LocalEventSource& events);

    // Shows the shortcut of another name (the change callback stays).
    void setName(Name name) { field_->setShortcutName(std::move(name)); }

    bool hasLabel() const { return label_ != nullptr; }
    QWidget* label() const { return label_; }
    RecorderField* field() const { return field_; }

private:
    void build(QWidget* label);
    QWidget* label_ = nullptr;
    RecorderField* field_ = nullptr;
};

} // namespace Hotkeys
