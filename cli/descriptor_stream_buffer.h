#pragma once

#include <array>
#include <streambuf>

// A stream buffer that writes to a file descriptor and remembers why a write failed, so
// that a program can tell a full disk or a closed output from success at its end (an
// iostream only sets its bad bit, and the errno it saw is long gone by then). After the
// first failure everything more is refused.
class DescriptorStreamBuffer : public std::streambuf {
public:
    explicit DescriptorStreamBuffer(int fd);
    ~DescriptorStreamBuffer() override;

    DescriptorStreamBuffer(const DescriptorStreamBuffer &) = delete;
    DescriptorStreamBuffer &operator=(const DescriptorStreamBuffer &) = delete;

    // The errno of the first write that failed; 0 when none did.
    int Error() const { return m_error; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char *bytes, std::streamsize count) override;
    int sync() override;

private:
    bool Drain();
    bool Write(const char *bytes, std::size_t count);

    int m_fd;
    int m_error = 0;
    std::array<char, 4096> m_buffer{};
};
