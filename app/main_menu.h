#pragma once

#include <QAction>
#include <QMenuBar>
#include <map>

// Menu 129 of the main window: every item with its access key and command id. Each
// action carries its command id as its object name and its data.
class MainMenu {
public:
    // Builds the menu bar into parent; actions receives every command by id.
    static QMenuBar *Build(QWidget *parent, std::map<int, QAction *> &actions);
};
