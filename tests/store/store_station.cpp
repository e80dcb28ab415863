// One inspection station of the fault test: publishes its lots through its
// outbox in sheets of 25 and forwards until nothing waits, retrying after
// every failure. Started again after a kill with the same outbox, it goes on
// where it stood.
//
//   store_station URL OUTBOX STATION LOTS
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <string>

#include "store/outbox.h"

using namespace trevolo;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
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
