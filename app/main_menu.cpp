#include "main_menu.h"

#include <QMenu>

#include "resource_ids.h"

namespace {

struct Item {
    int id;  // 0 for a separator
    const char *text;
};

void AddItems(QMenu *menu, std::initializer_list<Item> items, std::map<int, QAction *> &actions) {
    for (const Item &item : items) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction *action = menu->addAction(QString::fromUtf8(item.text));
        action->setObjectName(QString::fromStdString(Ids::ObjectNameFor(item.id)));
        action->setData(item.id);
        actions[item.id] = action;
    }
}

}  // namespace

QMenuBar *MainMenu::Build(QWidget *parent, std::map<int, QAction *> &actions) {
    namespace M = Ids::Menu;
    auto *bar = new QMenuBar(parent);
    bar->setObjectName(QString::fromStdString(Ids::ObjectNameFor(M::kMainMenu)));
    // The menu belongs to the window, as on every platform the workstation runs on.
    bar->setNativeMenuBar(false);

    QMenu *file = bar->addMenu("&File");
    AddItems(file,
             {{M::kLoadNvramImage, "&Load NVRAM Image ..."},
              {M::kSaveNvramImage, "&Save NVRAM Image ..."},
              {0, ""},
              {M::kExit, "E&xit"}},
             actions);

    QMenu *sign = bar->addMenu("S&ign");
    QMenu *intensity = sign->addMenu("I&ntensity");
    AddItems(intensity, {{M::kIntensityMode, "&Mode ..."}, {M::kDutyCycle, "&Duty Cycle ..."}},
             actions);
    AddItems(sign, {{M::kSignOnOffTime, "&On/Off Time ..."}}, actions);
    QMenu *test = sign->addMenu("&Test");
    AddItems(test,
             {{M::kPerformTest, "&Perform Test"},
              {M::kViewResetLog, "View Re&set Log ..."},
              {M::kViewFailLog, "View Fai&l Log ..."}},
             actions);

    QMenu *system = bar->addMenu("S&ystem");
    AddItems(system,
             {{M::kTags, "Ta&gs ..."},
              {M::kDateAndTime, "Da&te and Time ..."},
              {M::kPassword, "&Password ..."},
              {M::kCommunications, "Communications ..."},
              {0, ""},
              {M::kSupervisorMode, "&Supervisor Mode"}},
             actions);
    actions[M::kSupervisorMode]->setCheckable(true);

    QMenu *help = bar->addMenu("&Help");
    AddItems(help, {{M::kManual, "&Manual ..."}, {M::kAbout, "&About ..."}}, actions);
    return bar;
}
