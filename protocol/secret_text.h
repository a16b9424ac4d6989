#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A password on its way to the controller, held no longer than needed. Its buffer is
// taken once, large enough for any password the frame carries, so it never moves to a
// larger one and leaves a copy behind in freed memory; it is overwritten with zeros when
// it is cleared or goes.
class SecretText {
public:
    // Room taken at the start: a password of 17 characters from byte 3 of the frame, or
    // the same typed in letters that take up to four bytes each.
    static constexpr std::size_t kRoom = 72;

    SecretText() { m_text.reserve(kRoom); }
    explicit SecretText(std::string_view text) : SecretText() { Assign(text); }
    ~SecretText() { Clear(); }

    SecretText(const SecretText &) = delete;
    SecretText &operator=(const SecretText &) = delete;

    const std::string &Text() const { return m_text; }
    std::size_t Size() const { return m_text.size(); }

    void Assign(std::string_view text);
    void Append(char c);
    // Overwrites the whole buffer and leaves the text empty.
    void Clear() { Wipe(m_text); }

    // The one wipe of the system: overwrites size bytes at data with zeros, stores the
    // compiler may not drop even when the memory is freed right after.
    static void Wipe(void *data, std::size_t size);
    // Overwrites the whole of text's buffer (its capacity, not only its size) and leaves
    // it empty.
    static void Wipe(std::string &text);

private:
    // Makes room for at least size characters without leaving the old buffer unwiped.
    void Reserve(std::size_t size);

    std::string m_text;
};
