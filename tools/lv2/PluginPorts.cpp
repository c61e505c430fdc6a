#include "PluginPorts.h"

#include <cctype>

namespace plugin_ports {

std::string symbolOf(std::string_view name) {
    std::string symbol;
    bool gap = false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool sign = c == '+' || c == '-';
        if (!sign && !std::isalnum(u)) {
            gap = true;
            continue;
        }
        if (gap && !symbol.empty()) symbol += '_';
        gap = false;
        if (sign) {
            symbol += c == '+' ? "plus" : "minus";
            continue;
        }
        if (symbol.empty() && std::isdigit(u)) symbol += '_';
        symbol += static_cast<char>(std::tolower(u));
    }
    return symbol;
}

} // namespace plugin_ports
