#pragma once

#include <QJsonObject>

#include <functional>
#include <string>
#include <vector>

// The fleet files the lab benchmarks hand to apsim, built as values and written as JSON.
namespace bench {

struct FleetAccessPoint {
    std::string name;
    std::string mac;      // 12 hex digits, as the fleet file takes them
    int network = 0;      // an index into the fleet's networks
    std::string address;  // on the network's subnet or on a foreign one
    QJsonObject fields;   // any further fields of its own (replyDelayMs, reply, ...)
};

// Network n is lan<n>, with the lab host at 10.<n>.0.250/16.
struct Fleet {
    int networks = 1;
    QJsonObject defaults;  // the fields every access point has unless it gives its own
    std::vector<FleetAccessPoint> accessPoints;
};

// perNetwork access points on each of `networks` networks, numbered from 0 within each.
struct GridShape {
    int networks = 1;
    int perNetwork = 1;
    // Every foreignEvery-th access point of a network (the 0th, the k-th, ...) sits on a foreign
    // subnet, 172.16.0.0/12, and answers by broadcast as such an access point does; 0: none.
    int foreignEvery = 0;
    std::string macPrefix = "02AB";  // 4 hex digits; the network and the number follow
    // The name of access point `index` of `network`; by default a scrambled one.
    std::function<std::string(int network, int index)> name;
};

// A number that follows no order, for names that sorting has to work on and for per-access-point
// delays that differ.
unsigned Scrambled(int network, int index);

Fleet Grid(const GridShape& shape);

// The fleet file apsim and the lab read.
std::string FleetJson(const Fleet& fleet);

}  // namespace bench
