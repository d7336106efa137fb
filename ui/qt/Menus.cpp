#include "ui/qt/Menus.h"

#include "ui/qt/Text.h"

#include <QAction>
#include <QMenuBar>

namespace quillet::ui {

std::map<int, QAction*> AddMenus(QMenuBar* bar, std::span<const MenuLine> lines, std::function<void(int)> run) {
    std::map<int, QAction*> items;
    QMenu* menu = nullptr;
    for (const MenuLine& line : lines) {
        if (!line.caption) {
            menu->addSeparator();
        } else if (!line.command) {
            menu = bar->addMenu(FromStd(line.caption));
            menu->setObjectName(QLatin1String(line.name));
        } else {
            QAction* action = menu->addAction(FromStd(line.caption));
            action->setObjectName(QLatin1String(line.name));
            action->setShortcut(QKeySequence(QLatin1String(line.key)));
            QObject::connect(action, &QAction::triggered, action, [run, c = *line.command] { run(c); });
            items[*line.command] = action;
        }
    }
    return items;
}

} // namespace quillet::ui
