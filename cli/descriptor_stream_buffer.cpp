#include "descriptor_stream_buffer.h"

#include <unistd.h>

#include <cerrno>

DescriptorStreamBuffer::DescriptorStreamBuffer(int fd) : m_fd(fd) {
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
}

DescriptorStreamBuffer::~DescriptorStreamBuffer() {
    Drain();
}

bool DescriptorStreamBuffer::Write(const char *bytes, std::size_t count) {
    if (m_error != 0) return false;
    while (count > 0) {
        const ssize_t written = ::write(m_fd, bytes, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            m_error = errno;
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

bool DescriptorStreamBuffer::Drain() {
    const std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    return pending == 0 || Write(m_buffer.data(), pending);
}

DescriptorStreamBuffer::int_type DescriptorStreamBuffer::overflow(int_type c) {
    if (!Drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize DescriptorStreamBuffer::xsputn(const char *bytes, std::streamsize count) {
    if (m_error != 0) return 0;
    const std::streamsize room = epptr() - pptr();
    if (count <= room) {
        traits_type::copy(pptr(), bytes, static_cast<std::size_t>(count));
        pbump(static_cast<int>(count));
        return count;
    }
    if (!Drain() || !Write(bytes, static_cast<std::size_t>(count))) return 0;
    return count;
}

int DescriptorStreamBuffer::sync() {
    return Drain() ? 0 : -1;
}
