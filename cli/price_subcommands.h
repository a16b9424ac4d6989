#pragma once

class SubcommandTable;

// voxa-ctl: The price lines: their number, formats, face masks and prices. A price is checked
// against its line's format, as the controller reports it, before it is sent.
class PriceSubcommands {
public:
    static void AddTo(SubcommandTable &table);
};
