#include "host/csv.h"

#include <charconv>

namespace kestrol::host {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

bool SplitCsvLine(std::string_view line, std::vector<std::string_view>& fields, std::string& scratch) {
    fields.clear();
    scratch.clear();
    // Quoted text is never longer than the line, so the views into scratch stay valid.
    scratch.reserve(line.size());
    std::size_t at = 0;
    while (true) {
        std::size_t start = at;
        while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
        if (start < line.size() && line[start] == '"') {
            const std::size_t first = scratch.size();
            std::size_t i = start + 1;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        scratch.push_back('"');
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                scratch.push_back(line[i++]);
            }
            if (!closed) return false;
            fields.emplace_back(scratch.data() + first, scratch.size() - first);
            while (i < line.size() && line[i] != ',') {
                if (line[i] != ' ' && line[i] != '\t') return false;  // text after the closing quote
                ++i;
            }
            at = i;
        } else {
            std::size_t comma = line.find(',', at);
            if (comma == std::string_view::npos) comma = line.size();
            fields.push_back(Trim(line.substr(at, comma - at)));
            at = comma;
        }
        if (at >= line.size()) return true;
        ++at;  // past the comma
    }
}

void AppendCsvField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\n\r") == std::string_view::npos) {
        out.append(field);
        return;
    }
    out.push_back('"');
    for (char ch : field) {
        if (ch == '"') out.push_back('"');
        out.push_back(ch);
    }
    out.push_back('"');
}

std::optional<double> ParseNumber(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

void AppendNumber(std::string& out, double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    if (error == std::errc()) out.append(text, end);
}

}  // namespace kestrol::host
