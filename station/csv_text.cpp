#include "csv_text.h"

std::string CsvText::Field(std::string_view text) {
    const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quoted) return std::string(text);
    std::string field = "\"";
    for (const char c : text) {
        if (c == '"') field += '"';
        field += c;
    }
    return field + '"';
}

std::string CsvText::Line(const Row &fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        line += Field(fields[i]);
    }
    return line + '\n';
}

std::vector<CsvText::Row> CsvText::Parse(std::string_view text) {
    std::vector<Row> rows;
    Row row;
    std::string field;
    bool inQuotes = false;
    bool rowStarted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inQuotes) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                inQuotes = false;
            }
            continue;
        }
        switch (c) {
            case '"':
                inQuotes = true;
                rowStarted = true;
                break;
            case ',':
                row.push_back(std::move(field));
                field.clear();
                rowStarted = true;
                break;
            case '\r':
                // Part of a CR LF line end; a lone CR stays in its field.
                if (i + 1 < text.size() && text[i + 1] == '\n') break;
                field += c;
                rowStarted = true;
                break;
            case '\n':
                row.push_back(std::move(field));
                field.clear();
                rows.push_back(std::move(row));
                row.clear();
                rowStarted = false;
                break;
            default:
                field += c;
                rowStarted = true;
                break;
        }
    }
    if (rowStarted) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<CsvText::Row> CsvText::ParseRow(std::string_view line) {
    Row row;
    std::string field;
    bool inQuotes = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inQuotes) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                inQuotes = false;
            }
        } else if (c == '"') {
            inQuotes = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
        } else {
            field += c;
        }
    }
    if (inQuotes) return std::nullopt;
    row.push_back(std::move(field));
    return row;
}
