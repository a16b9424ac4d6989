#pragma once

class SubcommandTable;

// voxa-ctl: The price lines: their number, formats, face masks and prices. Changing prices
// is PriceChangeSubcommands'.
namespace PriceSubcommands {

void AddTo(SubcommandTable &table);

}  // namespace PriceSubcommands
