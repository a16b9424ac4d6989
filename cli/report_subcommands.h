#pragma once

class SubcommandTable;

// voxa-ctl: report, the state of the installation in one run for monitoring and
// point-of-sale systems: the controller's status, the lines with their formats, faces and
// prices (read as the workstation reads them at start-up), the controller's clock and its
// fail log, as text or as one JSON object whose keys stay the same from release to
// release. A condition that needs a person makes the run fail after the report is printed.
namespace ReportSubcommands {

void AddTo(SubcommandTable &table);

}  // namespace ReportSubcommands
