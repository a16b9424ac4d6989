#pragma once

// The numeric ids of the workstation's windows, controls, menu commands, texts, pictures and
// timer. Every widget carries its id as its object name (ObjectNameFor), so tests and tools
// find a control by the same number in every build.
//
// Control ids are unique within their dialog only: the same number names different controls
// in different dialogs, which is why each dialog has a namespace of its own.

#include <array>
#include <string>

namespace Ids {

// The object name a widget with this id carries: the id in decimal.
inline std::string ObjectNameFor(int id) {
    return std::to_string(id);
}

// Results a dialog ends with: the id of the button that closed it. Callers test for kOk.
namespace Result {
inline constexpr int kOk = 1039;
inline constexpr int kApply = 3;
inline constexpr int kCancel = 1040;
// The platform's standard button ids, carried by a few buttons of their own: the port
// dialog's OK, and the Clear buttons of the two logs and the wizard's Cancel / Finish, which
// Escape therefore presses.
inline constexpr int kStandardOk = 1;
inline constexpr int kStandardCancel = 2;
}  // namespace Result

// Dialog templates, 100 to 159.
namespace Dialog {
inline constexpr int kAbout = 100;
inline constexpr int kMainWindow = 102;
inline constexpr int kPassword = 132;
inline constexpr int kIntensityMode = 133;
inline constexpr int kManualIntensity = 134;
inline constexpr int kLightSensor = 137;
inline constexpr int kTimeOfDay = 139;
inline constexpr int kSplash = 143;
inline constexpr int kDutyCycle = 145;
inline constexpr int kOnOffTimer = 147;
inline constexpr int kPriceHistory = 148;
inline constexpr int kFailLog = 149;
inline constexpr int kResetLog = 150;
inline constexpr int kDateTime = 151;
inline constexpr int kChangePassword = 153;
inline constexpr int kTags = 155;
inline constexpr int kPort = 157;
inline constexpr int kWait = 159;
}  // namespace Dialog

// What every dialog that reads from the controller has beneath its own controls.
namespace Frame {
// "Not read: ..." once a value could not be read; hidden while every read succeeded.
inline constexpr int kNotReadNotice = 1096;
}  // namespace Frame

// The main window (template 102).
namespace Main {
// Tag (line name) of price lines 1 to 8; the numbers do not run in line order.
inline constexpr int kTagLine1 = 1000;
inline constexpr int kTagLine2 = 1001;
inline constexpr int kTagLine3 = 1009;
inline constexpr int kTagLine4 = 1015;
inline constexpr int kTagLine5 = 1012;
inline constexpr int kTagLine6 = 1018;
inline constexpr int kTagLine7 = 1021;
inline constexpr int kTagLine8 = 1024;
// Price field (masked edit) of price lines 1 to 8.
inline constexpr int kPriceLine1 = 1071;
inline constexpr int kPriceLine2 = 1072;
inline constexpr int kPriceLine3 = 1073;
inline constexpr int kPriceLine4 = 1074;
inline constexpr int kPriceLine5 = 1075;
inline constexpr int kPriceLine6 = 1076;
inline constexpr int kPriceLine7 = 1077;
inline constexpr int kPriceLine8 = 1078;
// Entry k belongs to price line k + 1.
inline constexpr std::array<int, 8> kTagFieldIds = {kTagLine1, kTagLine2, kTagLine3, kTagLine4,
                                                    kTagLine5, kTagLine6, kTagLine7, kTagLine8};
inline constexpr std::array<int, 8> kPriceFieldIds = {kPriceLine1, kPriceLine2, kPriceLine3,
                                                      kPriceLine4, kPriceLine5, kPriceLine6,
                                                      kPriceLine7, kPriceLine8};
// Group box "Lumivane Electronic Signs" around the price lines.
inline constexpr int kLinesFrame = 1002;
// Status text: ready or error.
inline constexpr int kStatusText = 1005;
// One-line description of the highlighted menu item; "Press F1 For Help." at rest.
inline constexpr int kMenuPrompt = 1006;
// PC date and time, refreshed every second.
inline constexpr int kClock = 1027;
// Ready or error status picture beside the status text.
inline constexpr int kStatusIcon = 1028;
// Send Update button.
inline constexpr int kSendUpdate = 1079;
// Time of the last update, or the bad-price message of a stopped send.
inline constexpr int kLastUpdate = 1080;
// Mark beside price lines 1 to 8: the line, edited here, was changed by another program.
inline constexpr std::array<int, 8> kChangedElsewhereMarkIds = {1120, 1121, 1122, 1123,
                                                                1124, 1125, 1126, 1127};
}  // namespace Main

// The splash window (template 143).
namespace Splash {
// The splash picture that fills the window.
inline constexpr int kPicture = 1051;
}  // namespace Splash

// The About box (template 100).
namespace About {
// The controller's embedded software part number; "No P/N" until it answers.
inline constexpr int kPartNumber = 1084;
}  // namespace About

// Face and mode choice of the intensity wizard (template 133).
namespace IntensityMode {
inline constexpr int kFaceList = 1042;
inline constexpr int kNext = 1035;
inline constexpr int kManual = 1036;
inline constexpr int kLightSensor = 1037;
inline constexpr int kTimeOfDay = 1038;
// "&Cancel / Finish" closes the wizard.
inline constexpr int kCancelFinish = Result::kStandardCancel;
}  // namespace IntensityMode

// Manual intensity level of one face (template 134).
namespace ManualIntensity {
// "Face N Intensity Mode Setting:"
inline constexpr int kHeading = 1041;
inline constexpr int kLevelList = 1038;
}  // namespace ManualIntensity

// Day and night levels of the light sensor mode (template 137).
namespace LightSensor {
// "Face N Light Sensor Settings:"
inline constexpr int kHeading = 1041;
inline constexpr int kDayLevelList = 1043;
inline constexpr int kNightLevelList = 1044;
}  // namespace LightSensor

// Two levels and their switch times of the time of day mode (template 139).
namespace TimeOfDay {
// "Time of Day Intensity Mode: Face N"
inline constexpr int kHeading = 1041;
// First row: level slot 1, switch 1.
inline constexpr int kFirstLevelList = 1044;
inline constexpr int kFirstHour = 1046;
inline constexpr int kFirstMinute = 1048;
inline constexpr int kFirstMeridian = 1050;
// Second row: level slot 0, switch 2.
inline constexpr int kSecondLevelList = 1045;
inline constexpr int kSecondHour = 1047;
inline constexpr int kSecondMinute = 1049;
inline constexpr int kSecondMeridian = 1051;
}  // namespace TimeOfDay

// Duty cycle of each intensity level (template 145).
namespace DutyCycle {
inline constexpr int kLevelList = 1053;
// Percentage the display is on, 0 to 100.
inline constexpr int kDutyCycle = 1054;
// Up-down buttons that step the percentage.
inline constexpr int kSpin = 1055;
}  // namespace DutyCycle

// Daily sign on and off times (template 147).
namespace OnOffTimer {
inline constexpr int kEnable = 1056;
inline constexpr int kOnHour = 1057;
inline constexpr int kOnMinute = 1058;
inline constexpr int kOnMeridian = 1059;
inline constexpr int kOffHour = 1060;
inline constexpr int kOffMinute = 1061;
inline constexpr int kOffMeridian = 1062;
}  // namespace OnOffTimer

// The controller's date, time and daylight saving switch (template 151).
namespace DateTime {
inline constexpr int kMonth = 1061;
inline constexpr int kDay = 1062;
inline constexpr int kYear = 1063;
inline constexpr int kHour = 1065;
inline constexpr int kMinute = 1066;
inline constexpr int kSecond = 1060;
inline constexpr int kMeridian = 1067;
inline constexpr int kDaylightSaving = 1069;
// Fills the fields from the PC's clock; nothing is sent until OK or Apply.
inline constexpr int kUsePcTime = 1068;
}  // namespace DateTime

// Line and face names (template 155).
namespace Tags {
inline constexpr int kLineList = 1070;
inline constexpr int kFaceList = 1042;
inline constexpr int kLineTag = 1033;
inline constexpr int kFaceTag = 1034;
}  // namespace Tags

// System password entry (template 132).
namespace Password {
// Masked entry of the password to verify.
inline constexpr int kEntry = 1037;
// Receives "Invalid Password." after a refusal.
inline constexpr int kMessage = 1005;
}  // namespace Password

// New system password (template 153).
namespace ChangePassword {
inline constexpr int kNewPassword = 1034;
inline constexpr int kVerifyPassword = 1035;
}  // namespace ChangePassword

// Modeless notice shown during an NVRAM image transfer (template 159).
namespace Wait {
inline constexpr int kText = 1083;
// How far the transfer is: a bar, and "Block k of n" beneath it.
inline constexpr int kProgress = 1086;
inline constexpr int kBlock = 1087;
}  // namespace Wait

// Serial port choice (template 157).
namespace Port {
// Port numbers 1 to 9; the port name is "COM" and the number.
inline constexpr int kPortList = 1082;
// "Show this screen at startup"
inline constexpr int kShowAtStartup = 1085;
inline constexpr int kOk = Result::kStandardOk;
// Beneath the list: the selected port's device path and, for a USB adapter, its maker and
// product.
inline constexpr int kDevice = 1086;
// Why the chosen port was not taken.
inline constexpr int kMessage = 1087;
// Looks for the ports again (an adapter plugged in meanwhile).
inline constexpr int kRefresh = 1088;
// A device path typed by the user, for a port the list does not show.
inline constexpr int kDevicePath = 1089;
}  // namespace Port

// The controller's failure log (template 149).
namespace FailLog {
inline constexpr int kLogText = 1063;
// Clears the log and the workstation's error status.
inline constexpr int kClear = Result::kStandardCancel;
}  // namespace FailLog

// The controller's reset count (template 150).
namespace ResetLog {
inline constexpr int kLogText = 1064;
inline constexpr int kClear = Result::kStandardCancel;
}  // namespace ResetLog

// The log of price changes, filtered and sorted (template 148).
namespace PriceHistory {
// Which line: "All lines" or one line number.
inline constexpr int kLineFilter = 1090;
// The first and the last day shown.
inline constexpr int kFromDate = 1091;
inline constexpr int kToDate = 1092;
// The entries, one row per logged attempt; a click on a column's title sorts by it.
inline constexpr int kTable = 1093;
// How many entries are shown of how many, or what the last export did.
inline constexpr int kSummary = 1094;
// Writes the rows shown to a CSV file.
inline constexpr int kExport = 1095;
inline constexpr int kClose = Result::kCancel;
// Which kind: "All kinds", "Prices", "Supervisor changes", or one kind of change.
inline constexpr int kKindFilter = 1097;
}  // namespace PriceHistory

// The main window's menu bar and its commands.
namespace Menu {
inline constexpr int kMainMenu = 129;
// File
inline constexpr int kLoadNvramImage = 32771;
inline constexpr int kSaveNvramImage = 32772;
inline constexpr int kPriceHistory = 32773;
inline constexpr int kExit = 32786;
// Sign
inline constexpr int kSignOnOffTime = 32777;
inline constexpr int kIntensityMode = 32778;
inline constexpr int kDutyCycle = 32779;
inline constexpr int kPerformTest = 32783;
inline constexpr int kViewResetLog = 32784;
inline constexpr int kViewFailLog = 32785;
// System
inline constexpr int kDateAndTime = 32787;
inline constexpr int kPassword = 32788;
inline constexpr int kTags = 32790;
inline constexpr int kSupervisorMode = 32791;
inline constexpr int kCommunications = 32792;
// Help
inline constexpr int kManual = 32781;
inline constexpr int kAbout = 32782;
// "&About VOXA..." in the window's system menu. The platform keeps the low four bits of a
// system command for itself, so the command is compared with those bits masked off.
inline constexpr int kSystemAbout = 16;
inline constexpr int kSystemCommandMask = 0xFFF0;
}  // namespace Menu

// Texts of the string table, with their ids.
namespace String {
inline constexpr int kAboutMenuItem = 101;
inline constexpr char kAboutMenuItemText[] = "&About VOXA...";
inline constexpr int kSocketsInitFailed = 103;
inline constexpr char kSocketsInitFailedText[] = "Windows sockets initialization failed.";
}  // namespace String

// Pictures. The two status pictures are drawn on the classic face greys; whoever shows them
// replaces kFaceGrey with the palette's button face colour and kShadowGrey with its dark
// shade, so that they sit on the window face in any colour scheme.
namespace Bitmap {
// 20 by 14: the letters OK underlined, white on the face colour.
inline constexpr int kReadyStatus = 130;
// The About box's Lumivane mark.
inline constexpr int kAboutLogo = 142;
// 200 by 300: the splash picture.
inline constexpr int kSplash = 144;
// 20 by 14: a yellow warning triangle with a black exclamation mark.
inline constexpr int kErrorStatus = 158;

inline constexpr unsigned kFaceGrey = 0xC0C0C0;
inline constexpr unsigned kShadowGrey = 0x808080;

// The picture in the compiled-in resources, for QPixmap or QImage.
inline std::string ResourcePath(int bitmapId) {
    return ":/bitmap-" + std::to_string(bitmapId) + ".png";
}
}  // namespace Bitmap

namespace Icon {
// The application icon, in several sizes.
inline constexpr int kApplication = 128;
inline constexpr std::array<int, 4> kSizes = {16, 32, 48, 256};

// One size of the icon in the compiled-in resources, for QIcon::addFile.
inline std::string ResourcePath(int iconId, int size) {
    return ":/icon-" + std::to_string(iconId) + "-" + std::to_string(size) + ".png";
}
}  // namespace Icon

namespace Timer {
// The main window's one-second status tick.
inline constexpr int kPoll = 433242;
}  // namespace Timer

}  // namespace Ids
