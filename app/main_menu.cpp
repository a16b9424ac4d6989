#include "main_menu.h"

#include <QMenu>

#include "resource_ids.h"

namespace {

namespace M = Ids::Menu;

struct Item {
    int id;  // 0 for a separator
    const char *text;
    const char *prompt;
};

constexpr Item kSeparator{0, "", ""};

const Item kFileItems[] = {
    {M::kLoadNvramImage, "&Load NVRAM Image ...", "Load NVRAM Image to Sign."},
    {M::kSaveNvramImage, "&Save NVRAM Image ...", "Save NVRAM Image from Sign."},
    kSeparator,
    {M::kPriceHistory, "Price &History ...", "View the Log of Price Changes."},
    kSeparator,
    {M::kExit, "E&xit", "Close Application."},
};
const Item kIntensityItems[] = {
    {M::kIntensityMode, "&Mode ...", "Configure Intensity Mode Settings."},
    {M::kDutyCycle, "&Duty Cycle ...", "Configure Duty Cycle Intensities."},
};
const Item kSignItems[] = {
    {M::kSignOnOffTime, "&On/Off Time ...", "Configure Sign On/Off Options."},
};
const Item kTestItems[] = {
    {M::kPerformTest, "&Perform Test", "Invoke Test Sign Mode."},
    {M::kViewResetLog, "View Re&set Log ...", "Display Reset Log."},
    {M::kViewFailLog, "View Fai&l Log ...", "Display Failure Diagnostics."},
};
const Item kSystemItems[] = {
    {M::kTags, "Ta&gs ...", "Configure Sign Name Tags."},
    {M::kDateAndTime, "Da&te and Time ...", "Configure System Date and Time."},
    {M::kPassword, "&Password ...", "Configure System Password."},
    {M::kCommunications, "Communications ...", "Configure Communications."},
    kSeparator,
    {M::kSupervisorMode, "&Supervisor Mode", "Toggle Supervisor Mode."},
};
const Item kHelpItems[] = {
    {M::kManual, "&Manual ...", "View System Help Manual."},
    {M::kAbout, "&About ...", "Display Information About Program."},
};

template <std::size_t N>
void AddItems(QMenu *menu, const Item (&items)[N], std::map<int, QAction *> &actions) {
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

template <std::size_t N>
const Item *Find(const Item (&items)[N], int id) {
    for (const Item &item : items) {
        if (item.id != 0 && item.id == id) return &item;
    }
    return nullptr;
}

}  // namespace

QMenuBar *MainMenu::Build(QWidget *parent, std::map<int, QAction *> &actions) {
    auto *bar = new QMenuBar(parent);
    bar->setObjectName(QString::fromStdString(Ids::ObjectNameFor(M::kMainMenu)));
    // The menu belongs to the window, as on every platform the workstation runs on.
    bar->setNativeMenuBar(false);

    AddItems(bar->addMenu("&File"), kFileItems, actions);

    QMenu *sign = bar->addMenu("S&ign");
    AddItems(sign->addMenu("I&ntensity"), kIntensityItems, actions);
    AddItems(sign, kSignItems, actions);
    AddItems(sign->addMenu("&Test"), kTestItems, actions);

    AddItems(bar->addMenu("S&ystem"), kSystemItems, actions);
    actions[M::kSupervisorMode]->setCheckable(true);

    AddItems(bar->addMenu("&Help"), kHelpItems, actions);
    return bar;
}

QString MainMenu::PromptFor(int commandId) {
    for (const Item *item :
         {Find(kFileItems, commandId), Find(kIntensityItems, commandId),
          Find(kSignItems, commandId), Find(kTestItems, commandId),
          Find(kSystemItems, commandId), Find(kHelpItems, commandId)}) {
        if (item != nullptr) return QString::fromUtf8(item->prompt);
    }
    return QString();
}

void MainMenu::FollowPrompts(QMenuBar *bar, std::function<void(const QString &)> show) {
    const auto promptOf = [](const QAction *action) {
        if (action == nullptr || action->menu() != nullptr) return QString();
        return PromptFor(action->data().toInt());
    };
    const auto highlighted = [show, promptOf](QAction *action) {
        const QString prompt = promptOf(action);
        show(prompt.isEmpty() ? QString(kRestingPrompt) : prompt);
    };
    QObject::connect(bar, &QMenuBar::hovered, bar, highlighted);
    const QList<QMenu *> menus = bar->findChildren<QMenu *>();
    for (QMenu *menu : menus) {
        QObject::connect(menu, &QMenu::hovered, menu, highlighted);
        // A submenu that closes while its parent stays open hands the prompt back to the
        // parent's highlighted command; a menu that closes for good leaves the resting text.
        QObject::connect(menu, &QMenu::aboutToHide, menu, [show, promptOf, menu, menus] {
            for (const QMenu *other : menus) {
                if (other == menu || !other->isVisible()) continue;
                const QString prompt = promptOf(other->activeAction());
                if (!prompt.isEmpty()) {
                    show(prompt);
                    return;
                }
            }
            show(QString(kRestingPrompt));
        });
    }
}
