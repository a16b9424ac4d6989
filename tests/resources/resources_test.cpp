#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "resource_ids.h"

namespace {

QImage Load(const std::string &path) {
    return QImage(QString::fromStdString(path));
}

// Two controls of one window with the same id could not be told apart by their object names.
TEST(ResourceIds, ControlIdsAreUniqueWithinEachWindow) {
    using namespace Ids;
    const struct {
        const char *window;
        std::vector<int> ids;
    } kWindows[] = {
        {"main window", {Main::kTagLine1,   Main::kTagLine2,   Main::kTagLine3,   Main::kTagLine4,
                         Main::kTagLine5,   Main::kTagLine6,   Main::kTagLine7,   Main::kTagLine8,
                         Main::kPriceLine1, Main::kPriceLine2, Main::kPriceLine3, Main::kPriceLine4,
                         Main::kPriceLine5, Main::kPriceLine6, Main::kPriceLine7, Main::kPriceLine8,
                         Main::kLinesFrame, Main::kStatusText, Main::kMenuPrompt, Main::kClock,
                         Main::kStatusIcon, Main::kSendUpdate, Main::kLastUpdate}},
        {"intensity mode",
         {IntensityMode::kFaceList, IntensityMode::kNext, IntensityMode::kManual,
          IntensityMode::kLightSensor, IntensityMode::kTimeOfDay, IntensityMode::kCancelFinish}},
        {"manual intensity",
         {ManualIntensity::kHeading, ManualIntensity::kLevelList, Result::kOk, Result::kApply,
          Result::kCancel}},
        {"light sensor",
         {LightSensor::kHeading, LightSensor::kDayLevelList, LightSensor::kNightLevelList,
          Result::kOk, Result::kApply, Result::kCancel}},
        {"time of day",
         {TimeOfDay::kHeading, TimeOfDay::kFirstLevelList, TimeOfDay::kFirstHour,
          TimeOfDay::kFirstMinute, TimeOfDay::kFirstMeridian, TimeOfDay::kSecondLevelList,
          TimeOfDay::kSecondHour, TimeOfDay::kSecondMinute, TimeOfDay::kSecondMeridian, Result::kOk,
          Result::kApply, Result::kCancel}},
        {"duty cycle",
         {DutyCycle::kLevelList, DutyCycle::kDutyCycle, DutyCycle::kSpin, Result::kOk,
          Result::kApply, Result::kCancel}},
        {"on/off timer",
         {OnOffTimer::kEnable, OnOffTimer::kOnHour, OnOffTimer::kOnMinute, OnOffTimer::kOnMeridian,
          OnOffTimer::kOffHour, OnOffTimer::kOffMinute, OnOffTimer::kOffMeridian, Result::kOk,
          Result::kApply, Result::kCancel}},
        {"date and time",
         {DateTime::kMonth, DateTime::kDay, DateTime::kYear, DateTime::kHour, DateTime::kMinute,
          DateTime::kSecond, DateTime::kMeridian, DateTime::kDaylightSaving, Result::kOk,
          Result::kApply, Result::kCancel}},
        {"tags",
         {Tags::kLineList, Tags::kFaceList, Tags::kLineTag, Tags::kFaceTag, Result::kOk,
          Result::kApply, Result::kCancel}},
        {"password", {Password::kEntry, Password::kMessage, Result::kOk, Result::kCancel}},
        {"change password",
         {ChangePassword::kNewPassword, ChangePassword::kVerifyPassword, Result::kOk,
          Result::kApply, Result::kCancel}},
        {"port", {Port::kPortList, Port::kShowAtStartup, Port::kOk}},
        {"fail log", {FailLog::kLogText, FailLog::kClear, Result::kOk}},
        {"reset log", {ResetLog::kLogText, ResetLog::kClear, Result::kOk}},
    };
    for (const auto &window : kWindows) {
        const std::set<int> distinct(window.ids.begin(), window.ids.end());
        EXPECT_EQ(distinct.size(), window.ids.size()) << window.window;
    }
}

TEST(ResourceIds, TemplatesAndMenuCommandsAreDistinct) {
    using namespace Ids;
    const std::vector<int> templates = {
        Dialog::kAbout,
        Dialog::kMainWindow,
        Dialog::kPassword,
        Dialog::kIntensityMode,
        Dialog::kManualIntensity,
        Dialog::kLightSensor,
        Dialog::kTimeOfDay,
        Dialog::kSplash,
        Dialog::kDutyCycle,
        Dialog::kOnOffTimer,
        Dialog::kFailLog,
        Dialog::kResetLog,
        Dialog::kDateTime,
        Dialog::kChangePassword,
        Dialog::kTags,
        Dialog::kPort,
        Dialog::kWait,
        Dialog::kPriceHistory,
    };
    EXPECT_EQ(std::set<int>(templates.begin(), templates.end()).size(), templates.size());
    for (int id : templates) {
        EXPECT_TRUE(id >= 100 && id <= 159) << id;
    }
    const std::vector<int> commands = {
        Menu::kLoadNvramImage, Menu::kSaveNvramImage, Menu::kExit,        Menu::kSignOnOffTime,
        Menu::kIntensityMode,  Menu::kDutyCycle,      Menu::kPerformTest, Menu::kViewResetLog,
        Menu::kViewFailLog,    Menu::kDateAndTime,    Menu::kPassword,    Menu::kTags,
        Menu::kSupervisorMode, Menu::kCommunications, Menu::kManual,      Menu::kAbout,
        Menu::kPriceHistory,
    };
    EXPECT_EQ(std::set<int>(commands.begin(), commands.end()).size(), commands.size());
    EXPECT_EQ(Menu::kSystemAbout & ~Menu::kSystemCommandMask, 0);
}

// --- Pictures --------------------------------------------------------------------------

TEST(ResourceImages, EveryPictureIsCompiledInAtItsSize) {
    const struct {
        std::string path;
        int width;
        int height;
    } kPictures[] = {
        {Ids::Bitmap::ResourcePath(Ids::Bitmap::kReadyStatus), 20, 14},
        {Ids::Bitmap::ResourcePath(Ids::Bitmap::kErrorStatus), 20, 14},
        {Ids::Bitmap::ResourcePath(Ids::Bitmap::kSplash), 200, 300},
        {Ids::Bitmap::ResourcePath(Ids::Bitmap::kAboutLogo), 64, 64},
        {":/icon-128.png", 256, 256},
    };
    for (const auto &picture : kPictures) {
        const QImage image = Load(picture.path);
        ASSERT_FALSE(image.isNull()) << picture.path;
        EXPECT_EQ(image.width(), picture.width) << picture.path;
        EXPECT_EQ(image.height(), picture.height) << picture.path;
    }
    for (int size : Ids::Icon::kSizes) {
        const std::string path = Ids::Icon::ResourcePath(Ids::Icon::kApplication, size);
        const QImage image = Load(path);
        ASSERT_FALSE(image.isNull()) << path;
        EXPECT_EQ(image.size(), QSize(size, size)) << path;
    }
}

// The program maps the face grey to the palette; a status picture drawn on any other
// background, or with see-through pixels, would show a box around it.
TEST(ResourceImages, StatusPicturesStandOnTheFaceGrey) {
    const QColor face = QColor::fromRgb(Ids::Bitmap::kFaceGrey);
    for (int id : {Ids::Bitmap::kReadyStatus, Ids::Bitmap::kErrorStatus}) {
        const QImage image = Load(Ids::Bitmap::ResourcePath(id));
        ASSERT_FALSE(image.isNull()) << id;
        EXPECT_FALSE(image.hasAlphaChannel()) << id;
        for (const QPoint corner : {QPoint(0, 0), QPoint(19, 0), QPoint(0, 13)}) {
            EXPECT_EQ(image.pixelColor(corner), face) << id;
        }
    }
}

TEST(ResourceImages, StatusPicturesShowTheirSigns) {
    const auto count = [](const QImage &image, auto &&test) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                n += test(image.pixelColor(x, y)) ? 1 : 0;
            }
        }
        return n;
    };
    // A green tick, and an amber warning sign with a black mark: colours that stand out from
    // any grey window face, unlike white on light grey.
    const QImage ready = Load(Ids::Bitmap::ResourcePath(Ids::Bitmap::kReadyStatus));
    EXPECT_GT(count(ready, [](QColor c) { return c.green() > 150 && c.red() < 130; }), 30);
    const QImage error = Load(Ids::Bitmap::ResourcePath(Ids::Bitmap::kErrorStatus));
    EXPECT_GT(count(error,
                    [](QColor c) {
                        return c.red() > 200 && c.green() > 130 && c.green() < 200 &&
                               c.blue() < 100;
                    }),
              40);
    EXPECT_GT(count(error, [](QColor c) { return c == QColor(Qt::black); }), 8);
}

}  // namespace
