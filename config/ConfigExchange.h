#pragma once

#include <cstdint>
#include <string>

#include "config/ConfigTiming.h"

#include "discovery/Exchange.h"

// Sends the new IP configuration to the access point whose MAC is the first 12 hexadecimal digits
// of `macText`, from each local address in turn until one brings an acknowledgement. A nonzero
// `dhcpClient` asks for DHCP and leaves the four texts unread; otherwise each must be a dotted
// address of four decimal octets (leading zeros allowed, never octal), and any other text, or
// 255.255.255.255, returns 0 before anything is sent. Returns 1 when acknowledged, else 0.
int SendIpSettings(int dhcpClient, const char* macText, const char* ipAddress,
                   const char* subnetMask, const char* gateway, const char* dnsServer);

// Tells the access point with this MAC to reset. Returns 1 when acknowledged, else 0.
int SendReset(const char* macText);

// Reads exactly four decimal octets of 0 to 255 (one to three digits each) separated by dots,
// into network byte order. False for any other text.
bool ParseDecimalDottedQuad(const char* text, std::uint32_t* address);

// Whether a subnet mask can be: at least one bit set, and its ones unbroken from the left
// (255.255.255.0, 128.0.0.0; not 1.2.3.4, 255.0.255.0 or 0.0.0.0). An access point given any
// other mask answers that it saved it and may then drop off the network. `mask` in network byte
// order, as ParseDecimalDottedQuad gives it.
bool IsContiguousSubnetMask(std::uint32_t mask);

// How every input check words a mask that cannot be: "mask: not a contiguous subnet mask: TEXT".
std::string SubnetMaskError(const std::string& text);

// Waits the pause before the reset request, on the socket layer's clock.
void PauseBeforeReset();

enum class ConfigureOutcome { kSuccess, kSetFailed, kResetFailed };

// The whole change of configuration: the request, the pause and the reset, stopping at the first
// request that is not acknowledged.
ConfigureOutcome ConfigureAndReset(int dhcpClient, const char* macText, const char* ipAddress,
                                   const char* subnetMask, const char* gateway,
                                   const char* dnsServer);

// The same requests under a caller's choices: which local addresses (one after the other, or
// with `parallel` all at once, the first acknowledgement winning), cancellation, and a report of
// each address's exchange (the last one tried tells why a request failed). The report of
// ConfigureAndResetWith describes the last request it sent.
int SendIpSettingsWith(const ExchangeOptions& options, int dhcpClient, const char* macText,
                       const char* ipAddress, const char* subnetMask, const char* gateway,
                       const char* dnsServer, const std::atomic<bool>* cancel = nullptr,
                       ExchangeReport* report = nullptr);
int SendResetWith(const ExchangeOptions& options, const char* macText,
                  const std::atomic<bool>* cancel = nullptr, ExchangeReport* report = nullptr);
ConfigureOutcome ConfigureAndResetWith(const ExchangeOptions& options, int dhcpClient,
                                       const char* macText, const char* ipAddress,
                                       const char* subnetMask, const char* gateway,
                                       const char* dnsServer,
                                       const std::atomic<bool>* cancel = nullptr,
                                       ExchangeReport* report = nullptr);
