// One inspection station of the fault test: publishes its lots through its
// outbox in sheets of 25 and forwards until nothing waits, retrying after
// every failure. Started again after a kill with the same outbox, it goes on
// where it stood.
//
//   store_station URL OUTBOX STATION LOTS
//
// With a fifth argument "watch" the station publishes LOTS lots of one value
// each to the watched characteristic, one lot to a publish, reconnecting and
// sending the lot again after every failure (the outbox is not used).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>

#include "store/outbox.h"
#include "store/plant_store.h"

using namespace trevolo;

namespace {

// The values every station publishes in turn: each rule's pattern against
// lines of centre 10 and one sigma 1. Stations publishing at once interleave
// them, which keeps runs, zones and limits, if not trends.
constexpr double kWatchValues[] = {13.5, 10.5, 10.5, 10.5, 10.5, 10.5, 10.5, 10.5, 10.5, 10.5, 9.4, 9.6, 9.8, 10.0,
                                   10.2, 10.4, 10.6, 12.5, 12.5, 11.5, 11.5, 11.5, 11.5, 8.5, 11.5, 8.5, 11.5, 8.5,
                                   9.5, 11.5, 9.5, 11.5, 9.5, 11.5, 9.5, 11.5, 9.5, 11.5, 9.5, 11.5, 9.5, 11.5};

int PublishWatched(const StoreLocation& where, const std::string& station, int count)
{
    const Characteristic c{"watch", "press", "P1", "height"};
    const Specification spec{"mm", "両側規格", "1", "14.0", "6.0"};
    std::unique_ptr<PlantStore> store;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        StoredLot l;
        l.id = l.label = station + "-" + std::to_string(i);
        l.values = std::to_string(kWatchValues[static_cast<size_t>(i) % std::size(kWatchValues)]);
        l.valueCount = 1;
        l.station = station;
        l.operatorName = "op";
        l.publishedAt = StationNowMillis();
        l.orderKey = l.publishedAt * 1000 + i;
        std::string error;
        while (!(store || (store = PlantStore::open(where, error))) || !store->publish(LotBatch{c, spec, {l}})) {
            store.reset();
            if (clock.elapsed() > 120000)
                return 1;
            QThread::msleep(20);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 6 && std::string(argv[5]) == "watch") {
        StoreLocation where;
        std::string error;
        if (!StoreLocation::parse(argv[1], where, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
        return PublishWatched(where, argv[3], std::atoi(argv[4]));
    }
    if (argc != 5) {
        std::fprintf(stderr, "usage: store_station URL OUTBOX STATION LOTS\n");
        return 2;
    }
    StoreLocation where;
    std::string error;
    auto outbox = StoreLocation::parse(argv[1], where, error) ? Outbox::open(argv[2], error) : nullptr;
    if (!outbox) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    const std::string station = argv[3];
    const int count = std::atoi(argv[4]);
    const Characteristic c{"fault", "press", "P1", "height"};
    const Specification spec{"mm", "両側規格", "3", "2.000", "1.000"};
    for (int start = 0; start < count; start += 25) {
        std::vector<SheetLot> sheet;
        for (int i = start; i < std::min(count, start + 25); ++i) {
            SheetLot lot{station + "-" + std::to_string(i), true, "", 100, i};
            for (int k = 0; k < 100; ++k)
                lot.values += (k ? ",1." : "1.") + std::to_string(100 + (i * 7 + k) % 900);
            sheet.push_back(std::move(lot));
        }
        if (!outbox->queue(c, spec, station, sheet, {station, "op"})) {
            std::fprintf(stderr, "%s\n", outbox->lastError().c_str());
            return 1;
        }
        ForwardOutbox(*outbox, where, nullptr, error);
    }
    QElapsedTimer clock;
    clock.start();
    while (outbox->pending() != 0 && clock.elapsed() < 120000) {
        if (!ForwardOutbox(*outbox, where, nullptr, error))
            QThread::msleep(20);
    }
    return outbox->pending() == 0 ? 0 : 1;
}
