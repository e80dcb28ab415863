#include "board/board_events.h"

#include <charconv>

namespace trevolo {

BoardEvents::Text BoardEvents::add(std::string_view event, const std::string& data)
{
    const std::uint64_t id = next_++;
    auto text = std::make_shared<const std::string>("id: " + std::to_string(id) + "\nevent: " + std::string(event) +
                                                    "\ndata: " + data + "\n\n");
    kept_.push_back(text);
    if (kept_.size() > keep_)
        kept_.pop_front();
    return text;
}

BoardEvents::Text BoardEvents::change(const BoardChange& c)
{
    // what is one of the board's own words, never a store text.
    return add("change", "{\"c\":" + std::to_string(c.characteristic) + ",\"what\":\"" + c.what + "\"}");
}

BoardEvents::Text BoardEvents::store(bool up)
{
    return add("store", up ? "{\"up\":true}" : "{\"up\":false}");
}

std::vector<BoardEvents::Text> BoardEvents::since(std::uint64_t lastId) const
{
    const std::uint64_t oldestKept = next_ - kept_.size();
    // lastId + 1 must still be kept for nothing to be missing between.
    if (lastId >= next_ - 1 || lastId + 1 < oldestKept)
        return {};
    return {kept_.begin() + static_cast<std::ptrdiff_t>(lastId + 1 - oldestKept), kept_.end()};
}

std::optional<std::uint64_t> ParseLastEventId(std::string_view header)
{
    std::uint64_t id = 0;
    const char* end = header.data() + header.size();
    const auto [ptr, ec] = std::from_chars(header.data(), end, id);
    if (header.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return id;
}

}  // namespace trevolo
