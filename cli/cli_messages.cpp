#include "cli/cli_messages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tw::cli {

namespace {

int g_language = 0;

}  // namespace

int language_from_environment() {
    std::string first;
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || value[0] == '\0') continue;
        first.assign(value, ::strnlen(value, 1023));
        if (std::strcmp(name, "LANGUAGE") == 0) first = first.substr(0, first.find(':'));
        break;
    }
    for (char& c : first)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return first.find("fr") != std::string::npos ? 1 : 0;
}

int language() { return g_language; }

void set_language(int language) { g_language = language != 0 ? 1 : 0; }

std::string text(const char* const (&pair)[2], std::initializer_list<std::string_view> args) {
    const std::string_view format = pair[g_language];
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%' && i + 1 < format.size() && format[i + 1] >= '1' && format[i + 1] <= '9') {
            const std::size_t k = static_cast<std::size_t>(format[++i] - '1');
            if (k < args.size()) out += *(args.begin() + k);
            continue;
        }
        out.push_back(c);
    }
    return out;
}

int error_status(const std::string& message) {
    std::fprintf(stderr, "trawlex-cli: %s\n", message.c_str());
    return 2;
}

}  // namespace tw::cli
