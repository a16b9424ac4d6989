#include "secret_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Every byte of a string's buffer as it is, beyond its end up to its capacity included.
std::string WholeBuffer(const std::string &text) {
    return std::string(text.data(), text.capacity());
}

TEST(SecretText, WipeReachesWhatAnEarlierLongerTextLeftBeyondTheEnd) {
    std::string text = "a longer password than the one after it";
    text.resize(3);
    SecretText::Wipe(text);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(WholeBuffer(text), std::string(text.capacity(), '\0'));
}

TEST(SecretText, HoldsTextsLongerThanItsRoomWhole) {
    const std::string longer(SecretText::kRoom * 3 + 5, 'k');
    SecretText secret("short");
    secret.Assign(longer);
    EXPECT_EQ(secret.Text(), longer);
    for (int i = 0; i < 100; ++i) secret.Append('x');
    EXPECT_EQ(secret.Text(), longer + std::string(100, 'x'));
    secret.Clear();
    EXPECT_EQ(secret.Size(), 0u);
}

TEST(SecretText, TypicalPasswordNeverMovesToAnotherBuffer) {
    SecretText secret;
    const char *const buffer = secret.Text().data();
    for (std::size_t i = 0; i < SecretText::kRoom; ++i) secret.Append('p');
    secret.Assign("another");
    EXPECT_EQ(secret.Text().data(), buffer);
}

}  // namespace
