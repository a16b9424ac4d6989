#pragma once

#include <filesystem>
#include <optional>

#include "settings_binding.h"

class SubcommandTable;

// voxa-ctl: changing prices the way the workstation's Send Update does (set-line-price,
// set-prices) and reading the log of price changes (price-history). Every price is checked
// against its line's format as the controller reports it and against the site's limits
// before any is sent; with confirmation each is read back; every attempt goes to the
// price log beside voxa.ini.
namespace PriceChangeSubcommands {

// What the price subcommands take from the folder they run in.
struct Setup {
    // Where the price log is; none: nothing is logged and there is no history.
    std::optional<std::filesystem::path> logFolder;
    // [Update] Confirm and [Limits] of voxa.ini.
    SettingsBinding::PriceRules rules;
};

// The subcommands read setup when they run, not when they are added.
void AddTo(SubcommandTable &table, const Setup &setup);

}  // namespace PriceChangeSubcommands
