#include "app/views/BasicSettingsView.h"

#include "app/core/AppDelegate.h"
#include "app/core/Preferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace app::views {

BasicSettingsView::BasicSettingsView(AppDelegate& delegate, QWidget* parent) : QWidget(parent) {
    auto& defaults = delegate.defaults();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 32, 32, 24);
    auto* title = new QLabel(QStringLiteral("<h2>Welcome to Zelvo</h2>"
                                            "<p>Press the hot key to list your running applications, then a "
                                            "digit, Return or a click to switch.</p>"),
                             this);
    title->setWordWrap(true);
    layout->addWidget(title);

    auto* form = new QFormLayout;
    auto* dock = new QCheckBox(QStringLiteral("Show Zelvo in the taskbar"), this);
    dock->setChecked(defaults.object(kShowInDock) ? defaults.boolForKey(kShowInDock) : true);
    connect(dock, &QCheckBox::toggled, this, [&defaults](bool on) { defaults.set(kShowInDock, on); });
    form->addRow(dock);

    auto* keep = new QCheckBox(QStringLiteral("Keep the panel open when the hot key is released"), this);
    keep->setChecked(defaults.boolForKey(kDoNotHideWhenHotkeyIsReleased));
    connect(keep, &QCheckBox::toggled, this,
            [&defaults](bool on) { defaults.set(kDoNotHideWhenHotkeyIsReleased, on); });
    form->addRow(keep);

    auto* sorting = new QComboBox(this);
    sorting->addItem(QStringLiteral("Recently used first"), 0);
    sorting->addItem(QStringLiteral("By name"), 1);
    auto stored = defaults.object(kSortingCriterion);
    sorting->setCurrentIndex(stored && stored->integerValue() == 0 ? 0 : 1);
    connect(sorting, &QComboBox::currentIndexChanged, this,
            [&defaults, sorting](int index) { defaults.set(kSortingCriterion, sorting->itemData(index).toInt()); });
    form->addRow(QStringLiteral("Sort applications:"), sorting);
    layout->addLayout(form);
    layout->addStretch(1);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, [&delegate] { delegate.closeSettings(); });
    layout->addWidget(close, 0, Qt::AlignRight);
}

} // namespace app::views
