#pragma once

#include "price_change_subcommands.h"

class SubcommandTable;

// voxa-ctl: what an inspector asks of the station's logs beside voxa.ini: whether the price
// log and the event log are as they were written (verify-logs), and the station's history,
// prices and supervisor changes in one list (history).
namespace AuditSubcommands {

// The subcommands read setup's log folder when they run.
void AddTo(SubcommandTable &table, const PriceChangeSubcommands::Setup &setup);

}  // namespace AuditSubcommands
