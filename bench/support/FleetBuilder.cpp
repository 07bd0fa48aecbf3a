#include "bench/support/FleetBuilder.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace bench {

namespace {

std::string Mac(const std::string& prefix, int network, int index) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X%04X", static_cast<unsigned>(network) & 0xFFFF,
                  static_cast<unsigned>(index) & 0xFFFF);
    return prefix + text;
}

// Up to 200 on each /24 of the network's 10.<n>.0.0/16, clear of the host's 10.<n>.0.250.
std::string HomeAddress(int network, int index) {
    return "10." + std::to_string(network) + "." + std::to_string(1 + index / 200) + "." +
           std::to_string(1 + index % 200);
}

std::string ForeignAddress(int network, int index) {
    return "172." + std::to_string(16 + (index / 250) % 16) + "." + std::to_string(network % 256) +
           "." + std::to_string(1 + index % 250);
}

std::string DefaultName(int network, int index) {
    char text[16];
    std::snprintf(text, sizeof text, "AP-%06X", (Scrambled(network, index) >> 8) & 0xFFFFFF);
    return text;
}

}  // namespace

unsigned Scrambled(int network, int index) {
    return static_cast<unsigned>(network * 1000 + index) * 2654435761u;
}

Fleet Grid(const GridShape& shape) {
    Fleet fleet;
    fleet.networks = shape.networks;
    for (int n = 0; n < shape.networks; ++n) {
        for (int i = 0; i < shape.perNetwork; ++i) {
            FleetAccessPoint accessPoint;
            accessPoint.name = shape.name ? shape.name(n, i) : DefaultName(n, i);
            accessPoint.mac = Mac(shape.macPrefix, n, i);
            accessPoint.network = n;
            if (shape.foreignEvery > 0 && i % shape.foreignEvery == 0) {
                accessPoint.address = ForeignAddress(n, i);
                accessPoint.fields.insert("reply", "broadcast");
            } else {
                accessPoint.address = HomeAddress(n, i);
            }
            fleet.accessPoints.push_back(std::move(accessPoint));
        }
    }
    return fleet;
}

std::string FleetJson(const Fleet& fleet) {
    QJsonArray networks;
    for (int n = 0; n < fleet.networks; ++n) {
        networks.append(QJsonObject{
            {"name", QString::fromStdString("lan" + std::to_string(n))},
            {"hostAddress", QString::fromStdString("10." + std::to_string(n) + ".0.250/16")}});
    }
    QJsonArray accessPoints;
    for (const FleetAccessPoint& accessPoint : fleet.accessPoints) {
        QJsonObject entry = accessPoint.fields;
        entry.insert("name", QString::fromStdString(accessPoint.name));
        entry.insert("mac", QString::fromStdString(accessPoint.mac));
        entry.insert("network",
                     QString::fromStdString("lan" + std::to_string(accessPoint.network)));
        entry.insert("address", QString::fromStdString(accessPoint.address));
        accessPoints.append(entry);
    }
    QJsonObject root{{"networks", networks}, {"accessPoints", accessPoints}};
    if (!fleet.defaults.isEmpty()) {
        root.insert("defaults", fleet.defaults);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace bench
