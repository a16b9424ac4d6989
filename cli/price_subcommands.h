#pragma once

class SubcommandTable;

// voxa-ctl: The price lines: their number, formats, face masks and prices. Changing prices
// is PriceChangeSubcommands'.
class PriceSubcommands {
public:
    static void AddTo(SubcommandTable &table);
};
