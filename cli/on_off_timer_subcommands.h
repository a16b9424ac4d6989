#pragma once

class SubcommandTable;

// voxa-ctl: The daily sign on/off timer: the two times and the timer switch.
class OnOffTimerSubcommands {
public:
    static void AddTo(SubcommandTable &table);
};
