#pragma once

#include <QAction>
#include <QMenuBar>
#include <functional>
#include <map>

// Menu 129 of the main window: every item with its access key, command id and prompt.
// Each action carries its command id as its object name and its data.
namespace MainMenu {

// The prompt field's text while no command is highlighted.
inline constexpr const char *kRestingPrompt = "Press F1 For Help.";

// Builds the menu bar into parent; actions receives every command by id.
QMenuBar *Build(QWidget *parent, std::map<int, QAction *> &actions);

// The one-line description of a command, or an empty text for an id that is not a
// command of the menu.
QString PromptFor(int commandId);

// Calls show with the prompt of each command while it is highlighted, and with the
// resting prompt when a menu closes or a submenu's title is highlighted.
void FollowPrompts(QMenuBar *bar, std::function<void(const QString &)> show);

}  // namespace MainMenu
