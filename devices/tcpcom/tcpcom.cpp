// libtcpcom.so: the gate device library over TCP ("tcp_" entry points, shared/gatelib.h).
#define GATEAPI(name) tcp_##name
#define GATEAPI_CONNECT(client, address, port) (client).ConnectTcp((address), (port))
#include "GateApi.inc"
