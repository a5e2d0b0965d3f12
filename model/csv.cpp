#include "model/csv.h"

#include <charconv>
#include <cstring>

namespace kestrol::host {
namespace {

bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

/// Whether only blanks stand between the quote at `q` and the start of its field. Outside
/// quotes the look back never leaves the line: a closing quote on it stops it first.
bool StartsField(const char* record, const char* q) {
    while (q != record && IsBlank(q[-1])) --q;
    return q == record || q[-1] == ',';
}

bool Refuse(CsvFault* fault, std::size_t offset, const char* reason) {
    if (fault != nullptr) *fault = {offset, reason};
    return false;
}

}  // namespace

std::string_view NextCsvRecord(std::string_view& rest, std::size_t& lines) {
    const char* const data = rest.data();
    const std::size_t size = rest.size();
    bool quoted = false;
    std::size_t from = 0;
    while (true) {
        const void* newline = std::memchr(data + from, '\n', size - from);
        const std::size_t end = newline != nullptr ? static_cast<std::size_t>(static_cast<const char*>(newline) - data) : size;
        const char* const lineEnd = data + end;
        for (const char* q = static_cast<const char*>(std::memchr(data + from, '"', end - from)); q != nullptr;
             q = static_cast<const char*>(std::memchr(q + 1, '"', static_cast<std::size_t>(lineEnd - (q + 1))))) {
            if (!quoted) {
                quoted = StartsField(data, q);
            } else if (q + 1 < lineEnd && q[1] == '"') {
                ++q;  // a doubled quote stays inside
            } else {
                quoted = false;
            }
        }
        ++lines;
        if (!quoted || end == size) {
            std::string_view record = rest.substr(0, end);
            rest.remove_prefix(end == size ? size : end + 1);
            if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
            return record;
        }
        from = end + 1;
    }
}

std::size_t FirstInvalidUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // the second byte's range, narrowed against overlong and surrogate forms
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return i;
        }
        if (i + length > size || bytes[i + 1] < low || bytes[i + 1] > high) return i;
        for (std::size_t k = 2; k < length; ++k)
            if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) return i;
        i += length;
    }
    return std::string_view::npos;
}

bool SplitCsvLine(std::string_view line, std::vector<std::string_view>& fields, std::string& scratch, CsvFault* fault) {
    fields.clear();
    scratch.clear();
    constexpr std::size_t npos = std::string_view::npos;
    // The first quote at or after the field being read: an unquoted field reaching it holds a quote.
    std::size_t nextQuote = line.find('"');
    std::size_t at = 0;
    while (true) {
        std::size_t start = at;
        while (start < line.size() && IsBlank(line[start])) ++start;
        if (start < line.size() && line[start] == '"') {
            std::size_t close = line.find('"', start + 1);
            std::string_view field = line.substr(start + 1, close == npos ? 0 : close - start - 1);
            if (close != npos && close + 1 < line.size() && line[close + 1] == '"') {
                // Only a field with doubled quotes is copied, to drop one of each pair. Unescaped
                // text is never longer than the line, so the views into scratch stay valid.
                if (scratch.empty()) scratch.reserve(line.size());
                const std::size_t first = scratch.size();
                std::size_t from = start + 1;
                while (close != npos && close + 1 < line.size() && line[close + 1] == '"') {
                    scratch.append(line.data() + from, close + 1 - from);
                    from = close + 2;
                    close = line.find('"', from);
                }
                if (close != npos) scratch.append(line.data() + from, close - from);
                field = std::string_view(scratch.data() + first, scratch.size() - first);
            }
            if (close == npos) return Refuse(fault, start, "a quote is left open");
            fields.push_back(field);
            std::size_t i = close + 1;
            while (i < line.size() && IsBlank(line[i])) ++i;
            if (i < line.size() && line[i] != ',') return Refuse(fault, i, "text follows the closing quote of a quoted field");
            at = i;
            nextQuote = line.find('"', at);
        } else {
            std::size_t comma = line.find(',', at);
            if (comma == npos) comma = line.size();
            if (nextQuote < comma)
                return Refuse(fault, nextQuote,
                              "a quote inside a field that does not start with one (put the whole field in quotes and double the quote)");
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
