#include "device_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "fake_device_tree.h"

// Found by GoogleTest next to the type, in the global namespace.
static void PrintTo(const DeviceAccess::Need &need, std::ostream *out) {
    *out << "{group \"" << need.group << "\", joined " << need.joined << "}";
}

namespace {

using Need = DeviceAccess::Need;

enum class Who { kStranger, kMember, kOwner, kSuperuser };

struct Case {
    const char *name;
    unsigned mode;
    Who who;
    bool listedInGroupFile;
    Need expected;
};

void PrintTo(const Case &c, std::ostream *out) {
    *out << c.name;
}

// A device /dev/ttyUSB0 of this process's user and group with the case's mode, and a group
// file that names its group dialout.
class DeviceAccessTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        tree.AddDevice("/dev/ttyUSB0");
        struct stat status {};
        ASSERT_EQ(::stat(tree.Below("/dev/ttyUSB0").c_str(), &status), 0);
        owner = status.st_uid;
        group = status.st_gid;
    }

    void WriteGroupFile(const std::string &members) const {
        std::filesystem::create_directories(tree.Below("/etc"));
        std::ofstream(tree.Below("/etc/group")) << "users:x:" << group + 1 << ":pat\n"
                                                << "dialout:x:" << group << ":" << members << "\n";
    }

    DeviceAccess::User As(Who who) const {
        DeviceAccess::User user{owner + 1000, "pat", {group + 1000}};
        if (who == Who::kMember) user.groups.push_back(group);
        if (who == Who::kOwner) user.uid = owner;
        if (who == Who::kSuperuser) user.uid = 0;
        return user;
    }

    FakeDeviceTree tree;
    unsigned owner = 0;
    unsigned group = 0;
};

TEST_P(DeviceAccessTest, TellsTheGroupToJoinOnlyWhereJoiningHelps) {
    const Case &c = GetParam();
    ASSERT_EQ(::chmod(tree.Below("/dev/ttyUSB0").c_str(), c.mode), 0);
    WriteGroupFile(c.listedInGroupFile ? "sam,pat" : "sam");
    DeviceAccess access(tree.Root());
    access.SetUser(As(c.who));
    EXPECT_EQ(access.Check("/dev/ttyUSB0"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, DeviceAccessTest,
    ::testing::Values(Case{"NotInTheGroup", 0660, Who::kStranger, false, Need{"dialout", false}},
                      Case{"AddedButNotLoggedInAgain", 0660, Who::kStranger, true,
                           Need{"dialout", true}},
                      Case{"InTheGroup", 0660, Who::kMember, false, Need{}},
                      Case{"Owner", 0600, Who::kOwner, false, Need{}},
                      Case{"Superuser", 0660, Who::kSuperuser, false, Need{}},
                      Case{"OpenToEveryone", 0666, Who::kStranger, false, Need{}},
                      Case{"ClosedToTheGroupToo", 0600, Who::kStranger, false, Need{}},
                      Case{"GroupMayOnlyRead", 0640, Who::kStranger, false, Need{}}),
    [](const ::testing::TestParamInfo<Case> &c) { return std::string(c.param.name); });

TEST_F(DeviceAccessTest, FollowsLinksAndNamesAGroupMissingFromTheFileByNumber) {
    ASSERT_EQ(::chmod(tree.Below("/dev/ttyUSB0").c_str(), 0660), 0);
    std::filesystem::create_directories(tree.Below("/dev/serial/by-id"));
    std::filesystem::create_symlink("../../ttyUSB0",
                                    tree.Below("/dev/serial/by-id/usb-FTDI-port0"));
    DeviceAccess access(tree.Root());
    access.SetUser(As(Who::kStranger));
    EXPECT_EQ(access.Check("/dev/serial/by-id/usb-FTDI-port0"),
              (Need{std::to_string(group), false}));
    EXPECT_EQ(access.Check("/dev/ttyUSB7"), Need{});
}

}  // namespace
