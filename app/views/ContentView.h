#pragma once

#include "app/core/AppList.h"
#include "app/core/ViewFactory.h"
#include "app/desktop/QtHostingView.h"
#include "app/views/AppRowView.h"
#include "app/views/ToolbarView.h"

#include <QWidget>

#include <map>
#include <memory>
#include <vector>

class QLabel;
class QMenu;
class QScrollArea;
class QVBoxLayout;

namespace app::views {

// The content of the switcher panel: the toolbar on top and below it one row
// per application of the list, in the list's order. It follows the list's
// changes, moves the highlight on hover, activates on click and, after each
// layout of the rows, reports its size ("needsResize") on a later turn of the
// main queue.
class ContentView : public QWidget {
public:
    struct Environment {
        AppDelegate& delegate;
        AppList& list;
        platform::UserDefaults& defaults;
        platform::NotificationCenter& notificationCenter;
        platform::Queue& mainQueue;
    };

    ContentView(Environment environment, SwitcherViewOptions options, QWidget* parent = nullptr);
    ~ContentView() override;

    // The size the content wants: toolbar and every row, at most 80 % of the
    // screen's height (the rows scroll beyond that, keeping the highlighted
    // one in view) and of its width (long names are cut short).
    QSize fittingSize() const;
    // Brings the rows up to date with the list now.
    void layoutIfNeeded();

    const std::vector<AppRowView*>& rows() const { return rows_; }
    ToolbarView* toolbar() const { return toolbar_; }
    // The line that shows the filter, or that nothing matches it.
    QLabel* filterLabel() const { return filterLabel_; }
    QScrollArea* scrollArea() const { return scroll_; }
    // The row's menu of actions (Close Window, Quit, Minimize).
    QMenu* rowMenu() const { return rowMenu_; }
    void showRowMenu(const platform::RunningApplicationPtr& app, QPoint globalPosition);

private:
    void listChanged();
    void rebuildRows(const std::vector<platform::RunningApplicationPtr>& apps);
    // Brings every row's content and highlight up to date; with
    // reportResize, rows that changed size are laid out and reported.
    void refreshRows(bool reportResize = true);
    RowContent contentOf(const platform::RunningApplicationPtr& app) const;
    void refreshFilterLabel();
    void scrollToHighlight();
    void buildRowMenu();
    QPixmap iconFor(const platform::RunningApplicationPtr& app);
    void reportSizes();

    Environment env_;
    SwitcherViewOptions options_;
    ToolbarView* toolbar_;
    QLabel* filterLabel_;
    QMenu* rowMenu_ = nullptr;
    platform::RunningApplicationPtr menuApp_; // the row the menu was opened on
    QScrollArea* scroll_;
    QWidget* inner_;
    QVBoxLayout* rowsLayout_;
    std::vector<AppRowView*> rows_;
    std::vector<platform::RunningApplicationPtr> shown_;
    struct CachedIcon {
        std::uint64_t version = 0;
        QPixmap pixmap;
    };
    std::map<const platform::RunningApplication*, CachedIcon> icons_;
    AppList::ObserverId observer_ = 0;
    bool dirty_ = true;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The switcher view as a hosting view.
class SwitcherHostingView : public desktop::QtHostingView {
public:
    explicit SwitcherHostingView(std::unique_ptr<ContentView> view) : view_(std::move(view)) {}
    Size fittingSize() override;
    void layoutIfNeeded() override { view_->layoutIfNeeded(); }
    QWidget* widget() override { return view_.get(); }
    ContentView& contentView() { return *view_; }

private:
    std::unique_ptr<ContentView> view_;
};

} // namespace app::views
