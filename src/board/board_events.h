#pragma once
// What the board tells its open pages, as Server-Sent Events: a change of a
// characteristic's lots, alarms, answers, notes or limits (or of the lists,
// which belong to none), and the store's connection lost or back. Events
// are numbered; the newest are kept so that a page which connects again
// with the number it saw last is sent what it missed.
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trevolo {

// One change the store's watcher found. what is "lot", "alarm", "answer",
// "note", "limits" (limit sets, revisions and rule settings: what the
// charts are judged against) or "lists" (characteristic 0).
struct BoardChange {
    std::int64_t characteristic = 0;
    std::string what;
    bool operator==(const BoardChange&) const = default;
};

class BoardEvents {
public:
    using Text = std::shared_ptr<const std::string>;

    explicit BoardEvents(std::size_t keep = 1024) : keep_(keep) {}

    // The numbered event text of a change, kept for pages that come back.
    Text change(const BoardChange& c);
    // The numbered event text of the store's connection lost (up false) or
    // back.
    Text store(bool up);

    // The kept events numbered after lastId, oldest first. Empty when
    // lastId is the newest, when it is no number this board gave, or when
    // some of the events after it are no longer kept (the page fetches
    // itself again on reconnecting anyway, so nothing stale is sent).
    std::vector<Text> since(std::uint64_t lastId) const;

    std::uint64_t lastId() const { return next_ - 1; }

private:
    Text add(std::string_view event, const std::string& data);

    std::size_t keep_;
    std::uint64_t next_ = 1;
    std::deque<Text> kept_;  // numbered next_ - kept_.size() .. next_ - 1
};

// The number of a Last-Event-ID header; nothing when it is no plain
// decimal number.
std::optional<std::uint64_t> ParseLastEventId(std::string_view header);

}  // namespace trevolo
