// libhostcom.so: the gate device library over a serial line ("serial_" entry points,
// shared/gatelib.h). address = tty device path, port = baud rate (0 = 115200).
#define GATEAPI(name) serial_##name
#define GATEAPI_CONNECT(client, address, port) (client).ConnectSerial((address), (port))
#include "GateApi.inc"
