#include "secret_text.h"

void SecretText::Wipe(void *data, std::size_t size) {
    // Stores through a volatile pointer are observable behaviour, so the compiler has to
    // make every one of them; a plain memset of memory about to be freed may be dropped as
    // a dead store. Plain C++, so the same wipe serves every platform.
    volatile unsigned char *bytes = static_cast<volatile unsigned char *>(data);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
}

void SecretText::Wipe(std::string &text) {
    // Growing within the capacity never moves the buffer, so the bytes past the text
    // (left by an earlier, longer one) are reached as well.
    text.resize(text.capacity());
    Wipe(text.data(), text.size());
    text.clear();
}

void SecretText::Reserve(std::size_t size) {
    if (size <= m_text.capacity()) return;
    std::string larger;
    larger.reserve(size > 2 * m_text.capacity() ? size : 2 * m_text.capacity());
    larger.assign(m_text);
    Wipe(m_text);
    m_text.swap(larger);
}

void SecretText::Assign(std::string_view text) {
    Clear();
    Reserve(text.size());
    m_text.assign(text);
}

void SecretText::Append(char c) {
    Reserve(m_text.size() + 1);
    m_text.push_back(c);
}
