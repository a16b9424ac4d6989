#include "progress_line.h"

#include <ostream>

void ProgressLine::Show(const std::string &text) {
    if (m_open && text == m_text) return;
    // Blanks over what is left of a longer text before.
    const std::size_t width = text.size() < m_shown ? m_shown : text.size();
    m_stream << '\r' << text << std::string(width - text.size(), ' ');
    m_stream.flush();
    m_shown = text.size();
    m_text = text;
    m_open = true;
}

void ProgressLine::End() {
    if (!m_open) return;
    m_stream << '\n';
    m_stream.flush();
    m_open = false;
    m_shown = 0;
    m_text.clear();
}
