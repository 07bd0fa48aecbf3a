#include "discovery/RequestSocket.h"

namespace {

net::SocketHandle FailAndClose(net::SocketLayer& layer, net::SocketHandle socket,
                               AddressExchange* exchange, ExchangeStep step) {
    // Recorded before the close, which may change errno.
    RecordFailure(exchange, step);
    layer.Close(socket);
    return net::kInvalidSocket;
}

}  // namespace

net::SocketHandle OpenRequestSocket(net::SocketLayer& layer, const net::LocalAddress& local,
                                    AddressExchange* exchange) {
    const net::SocketHandle socket = layer.OpenUdpSocket();
    if (socket == net::kInvalidSocket) {
        RecordFailure(exchange, ExchangeStep::kOpenSocket);
        return net::kInvalidSocket;
    }
    if (!layer.EnableBroadcast(socket)) {
        return FailAndClose(layer, socket, exchange, ExchangeStep::kEnableBroadcast);
    }
    // A refusal is tolerated: the layer then drops replies from other interfaces itself.
    layer.BindToDevice(socket, local);
    if (!layer.BindAnyPort(socket)) {
        return FailAndClose(layer, socket, exchange, ExchangeStep::kBindPort);
    }
    // Only a larger buffer is asked for; the outcome does not decide anything.
    layer.SetReceiveBuffer(socket, kRequestSocketReceiveBuffer);
    return socket;
}
