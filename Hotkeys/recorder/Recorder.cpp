#include "Hotkeys/recorder/Recorder.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>

namespace Hotkeys {

Recorder::Recorder(Name name, RecorderField::OnChange onChange, platform::LocalEventSource& events, QWidget* label,
                   QWidget* parent)
    : QWidget(parent), field_(new RecorderField(std::move(name), std::move(onChange), events)) {
    build(label);
}

Recorder::Recorder(Name name, RecorderField::OnChange onChange, platform::LocalEventSource& events,
                   const QString& title, QWidget* parent)
    : Recorder(std::move(name), std::move(onChange), events, new QLabel(title), parent) {}

Recorder::Recorder(Name name, RecorderField::OnChange onChange, platform::LocalEventSource& events)
    : Recorder(std::move(name), std::move(onChange), events, static_cast<QWidget*>(nullptr), nullptr) {}

void Recorder::build(QWidget* label) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    label_ = label;
    if (label_) {
        row->addWidget(label_, 0, Qt::AlignBaseline);
        if (auto* text = qobject_cast<QLabel*>(label_)) {
            text->setBuddy(field_);
            // The label names the field for assistive technology: "&Global
            // hotkey:" makes "Global hotkey".
            QString name = text->text().remove(QRegularExpression(QStringLiteral("&(?!&)"))).trimmed();
            if (name.endsWith(u':')) name.chop(1);
            field_->setAccessibleName(name.trimmed());
        }
    }
    row->addWidget(field_, 0, Qt::AlignBaseline);
}

} // namespace Hotkeys
