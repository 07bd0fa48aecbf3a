#include "discovery/RequestSocket.h"

net::SocketHandle OpenRequestSocket(net::SocketLayer& layer, const net::LocalAddress& local) {
    const net::SocketHandle socket = layer.OpenUdpSocket();
    if (socket == net::kInvalidSocket) {
        return net::kInvalidSocket;
    }
    if (!layer.EnableBroadcast(socket)) {
        layer.Close(socket);
        return net::kInvalidSocket;
    }
    // A refusal is tolerated: the layer then drops replies from other interfaces itself.
    layer.BindToDevice(socket, local);
    if (!layer.BindAnyPort(socket)) {
        layer.Close(socket);
        return net::kInvalidSocket;
    }
    // Only a larger buffer is asked for; the outcome does not decide anything.
    layer.SetReceiveBuffer(socket, kRequestSocketReceiveBuffer);
    return socket;
}
