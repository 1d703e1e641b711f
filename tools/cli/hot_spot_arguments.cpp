#include "hot_spot_arguments.h"

#include <algorithm>
#include <charconv>

namespace qm::cli {

bool takeOption(std::vector<std::string>& args, const std::string& name, std::optional<std::string>& value)
{
    const auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end())
        return true;
    if (it + 1 == args.end())
        return false;
    value = *(it + 1);
    args.erase(it, it + 2);
    return true;
}

bool takeOption(std::vector<std::string>& args, const std::string& name, std::string& value)
{
    std::optional<std::string> v;
    if (!takeOption(args, name, v))
        return false;
    if (v)
        value = *v;
    return true;
}

bool parseInt(const std::string& text, std::int32_t& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseNumbers(const std::string& text, std::vector<int>& out)
{
    out.clear();
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        std::int32_t v = 0;
        if (!parseInt(text.substr(from, comma - from), v) || v < -32768 || v > 32767)
            return false;
        out.push_back(v);
        from = comma + 1;
    }
    return true;
}

bool parseView(const std::string& text, ViewIndex& out)
{
    std::vector<int> n;
    if (!parseNumbers(text, n) || n.size() != 2 || n[0] < 0 || n[1] < 0)
        return false;
    out.row = n[0];
    out.column = n[1];
    return true;
}

} // namespace qm::cli
