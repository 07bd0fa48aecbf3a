#pragma once

#include <atomic>
#include <vector>

#include "discovery/DeviceRecord.h"
#include "discovery/Exchange.h"

// Runs one discovery and puts the distinct access points, one per MAC, in name order into
// records 0 to count − 1 of `table`; records from count on are left as they were. Every failure
// shows as a count of 0. Always returns 0. Calls may come from any thread, at the same time: each
// runs its own exchange, and the merged table they share is locked only while one result is
// merged into it and copied out.
int DiscoverDevices(DeviceTable* table, int* count);

// The same discovery under a caller's choices (see ExchangeOptions). Returns 1 when the exchange
// completed and 0 when it failed, the count then being 0.
int DiscoverDevicesWith(const ExchangeOptions& options, DeviceTable* table, int* count,
                        const std::atomic<bool>* cancel = nullptr,
                        ExchangeReport* report = nullptr);

// The same discovery for a tool, with no ceiling: `records` holds every access point that
// answered, one per MAC (the first record in address order, then arrival order), in name order.
// Under the table's capacity the result is DiscoverDevicesWith's, record for record. Returns 1
// when the exchange completed, and 0, with `records` empty, when it failed or memory ran out.
// Does not touch the merged table.
int DiscoverAll(const ExchangeOptions& options, std::vector<DeviceRecord>* records,
                const std::atomic<bool>* cancel = nullptr, ExchangeReport* report = nullptr);

// Puts the records in ascending byte-wise order of name; equal names keep their order. Touches
// only the table it is given, so it needs no lock of its own.
void SortByName(DeviceTable* table, int count);

// Releases the merged table, so that a later discovery allocates a fresh one. Safe during a
// discovery on another thread: that discovery then merges into a fresh table.
void ReleaseMergedTable() noexcept;
