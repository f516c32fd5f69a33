// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/portable/uri_list.h"

#include <algorithm>
#include <optional>

namespace gui::portable {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Schemes and host names compare without regard to case.
bool sameWord(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower(x) == lower(y);
           });
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Nothing for a broken escape or a NUL, which no path can hold.
std::optional<std::string> percentDecoded(std::string_view text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
        if (low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        result += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return result;
}

std::optional<std::string> localPath(std::string_view uri, std::string_view hostName)
{
    constexpr std::string_view scheme = "file:";
    if (uri.size() < scheme.size() || !sameWord(uri.substr(0, scheme.size()), scheme))
        return std::nullopt;
    std::string_view rest = uri.substr(scheme.size());
    // file://host/path, or the short file:/path.
    if (rest.starts_with("//")) {
        const size_t slash = rest.find('/', 2);
        if (slash == std::string_view::npos)
            return std::nullopt;
        const std::string_view host = rest.substr(2, slash - 2);
        if (!host.empty() && !sameWord(host, "localhost") && !sameWord(host, hostName))
            return std::nullopt;
        rest = rest.substr(slash);
    }
    if (!rest.starts_with('/'))
        return std::nullopt;
    // A query or fragment is no part of a file's name.
    rest = rest.substr(0, rest.find_first_of("?#"));
    return percentDecoded(rest);
}

} // namespace

std::vector<std::string> localFilePaths(std::string_view uriList, std::string_view hostName)
{
    std::vector<std::string> paths;
    while (!uriList.empty()) {
        const size_t end = std::min(uriList.find('\n'), uriList.size());
        std::string_view line = uriList.substr(0, end);
        uriList.remove_prefix(std::min(end + 1, uriList.size()));
        // Lines end in CR LF; some sources send LF alone.
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty() || line.starts_with('#'))
            continue;
        if (auto path = localPath(line, hostName))
            paths.push_back(std::move(*path));
    }
    return paths;
}

} // namespace gui::portable
